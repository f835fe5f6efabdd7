// Vivotek payloads, byte for byte: locating the application-data block, the
// motion window bit stream, the tampering marker, the group 0 APP0 level and
// the input answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camdet/rules/vivotekrules.h"
#include "tests/fixtures/ruletable.h"

namespace {

// A bit stream, most significant bit first, padded with zero bits to whole
// 4-byte words.
class Bits {
public:
    Bits& Put(unsigned v, int n) {
        for (int i = n - 1; i >= 0; --i) m_Bits.push_back((v >> i) & 1);
        return *this;
    }
    // A present window: 1, trigger bit, 7-bit level, 40 skipped bits (set, so
    // that a misread shows).
    Bits& Window(bool trig, int level) {
        Put(1, 1).Put(trig, 1).Put(level, 7);
        for (int i = 0; i < 40; ++i) m_Bits.push_back(1);
        return *this;
    }
    Bits& Absent() { return Put(0, 1); }
    std::string Bytes(size_t minBytes = 4) const {
        size_t n = std::max((m_Bits.size() + 7) / 8, minBytes);
        n = (n + 3) / 4 * 4;
        std::string out(n, '\0');
        for (size_t i = 0; i < m_Bits.size(); ++i) {
            if (m_Bits[i]) out[i / 8] = (char)(out[i / 8] | (0x80 >> (i % 8)));
        }
        return out;
    }

private:
    std::vector<int> m_Bits;
};

// The payload around a block: some bytes, the codec tag, the zero byte at
// tag + 5, the count byte at tag + 15, the block, a tail.
std::string AppData(const std::string& block, const char* tag = "h264", const std::string& lead = "xx",
                    int count = -1000) {
    std::string p = lead + tag;
    p += "Z";
    p += std::string(1, '\0');
    p += "123456789";
    p += (char)(count == -1000 ? (int)(block.size() / 4) : count);
    return p + block + "tail";
}

PayloadRule AppKind(int kind) {
    return [kind](const char* p, unsigned int n, int& v) {
        return vivorule::CheckTrigValInAppData(p, (int)n, v, kind);
    };
}

PayloadRule Vivotek2Input(int port) {
    return [port](const char* p, unsigned int n, int& v) { return vivorule::Vivotek2Input(port, p, n, v); };
}

// Port `port` of a camera whose inputs start at `offset` (a video server's channel reads its own).
PayloadRule Vivotek8Input(int port, int offset) {
    return [=](const char* p, unsigned int n, int& v) { return vivorule::Vivotek8Input(port, offset, p, n, v); };
}

TEST(VivotekRules, PayloadGivesTriggerAndLevel) {
    const std::string secondFires = Bits().Window(false, 20).Window(true, 70).Bytes();
    const std::string countBeyond = std::string("abcjpegX") + std::string(1, '\0') + "12";
    // A first tag whose fifth byte after it is not zero is skipped (and mp4v is a tag).
    const std::string nonZeroAfterTag = AppData(Bits().Window(true, 33).Bytes(), "mp4v", "jpegQ\x01zz");
    // A marker two bytes before the block's end, and a set byte right after the block.
    std::string flagPastBlock = AppData(std::string("\x00\x00\x18\x00", 4));
    flagPastBlock[flagPastBlock.size() - 4] = '\x80';
    const PayloadRule group0 = vivorule::Group0Motion;
    ExpectPayloadRows({
        {"second present window fires", AppKind(1), AppData(secondFires), true, 70},
        {"first window fires", AppKind(1), AppData(Bits().Window(true, 99).Window(true, 10).Bytes()), true, 99},
        {"absent, then present and firing", AppKind(1), AppData(Bits().Absent().Window(true, 12).Bytes(8)), true, 12},
        {"no present window", AppKind(1), AppData(Bits().Absent().Absent().Absent().Bytes()), false, 0},
        {"three present quiet windows: last level", AppKind(1),
         AppData(Bits().Window(false, 5).Window(false, 6).Window(false, 7).Bytes()), false, 7},
        {"fourth record is never read", AppKind(1),
         AppData(Bits().Absent().Absent().Absent().Window(true, 50).Bytes()), false, 0},
        {"jpeg tag", AppKind(1), AppData(Bits().Window(true, 64).Bytes(), "jpeg", ""), true, 64},
        {"unknown tag", AppKind(1), AppData(Bits().Window(true, 64).Bytes(), "h265"), false, 0},
        {"tag without its zero byte is skipped", AppKind(1), nonZeroAfterTag, true, 33},
        {"count 0x80 is negative", AppKind(1), AppData(Bits().Window(true, 64).Bytes(), "h264", "", 0x80), false, 0},
        {"count 0", AppKind(1), AppData(Bits().Window(true, 64).Bytes(), "h264", "", 0), false, 0},
        {"block past the payload", AppKind(1), AppData(Bits().Window(true, 64).Bytes(), "h264", "", 4), false, 0},
        {"count byte beyond the payload", AppKind(1), countBeyond, false, 0},
        {"tampering flag set", AppKind(3), AppData(std::string("\x00\x18\x00\x80", 4)), true, 100},
        {"tampering flag clear", AppKind(3), AppData(std::string("\x00\x18\x00\x7f", 4)), false, 0},
        {"first marker counts", AppKind(3), AppData(std::string("\x18\x00\x00\x18\x00\x80\x00\x00", 8)), false, 0},
        {"flag byte beyond the block", AppKind(3), AppData(std::string("\x00\x00\x00\x18", 4)), false, 0},
        {"flag byte just past the block", AppKind(3), flagPastBlock, false, 0},
        {"no marker", AppKind(3), AppData(std::string("\x00\x00\x80\x80", 4)), false, 0},
        {"unknown kind", AppKind(4), AppData(std::string("\x00\x18\x00\x80", 4)), false, 0},
        {"4-byte payload holds nothing", AppKind(3), std::string("\x01\x18\x00\x80", 4), false, 0},
        {"3-byte payload: count at 0, never a whole block", AppKind(3), std::string("\x01\x18\x00", 3), false, 0},
        {"empty payload", AppKind(1), "", false, 0},
        {"group 0 APP0: level 1, 5", group0, std::string("\0\0\0\0\0\0\x01\x05", 8), true, 36},
        {"group 0 APP0: level 3, 255", group0, std::string("\0\0\0\0\0\0\x03\xff", 8), true, 96},
        {"group 0 APP0: flag clear", group0, std::string("\0\0\0\0\0\0\x00\x05", 8), false, 0},
        {"group 0 APP0: 7 bytes", group0, std::string("\0\0\0\0\0\0\x01", 7), false, 0},
        {"group 0 APP0: empty", group0, "", false, 0},
        {"DI answer, port 0 low", Vivotek2Input(0), "DI1=L\nDI2=H\n", false, 0},
        {"DI answer, port 1 high", Vivotek2Input(1), "DI1=L\nDI2=H\n", true, 1},
        {"DI answer, no port 2", Vivotek2Input(2), "DI1=L\nDI2=H\n", false, 0},
        {"di list, di0", Vivotek8Input(0, 0), "di0=0\ndi1=1\ndi2=1\n", false, 0},
        {"di list, di1", Vivotek8Input(1, 0), "di0=0\ndi1=1\ndi2=1\n", true, 1},
        {"di list, offset 2 reads di2", Vivotek8Input(0, 2), "di0=0\ndi1=1\ndi2=1\n", true, 1},
        {"di list, 10 is no state", Vivotek8Input(1, 0), "di1=10\n", false, 0},
    });
}

TEST(VivotekRules, BlockLocation) {
    int off = -1, size = -1;
    const std::string p = AppData(std::string(8, '\x11'), "jpeg", "abc");
    ASSERT_TRUE(vivorule::FindAppDataBlock(p.data(), (int)p.size(), off, size));
    EXPECT_EQ(off, 3 + 16);
    EXPECT_EQ(size, 8);
    // The block that ends exactly at the payload's end fits; one byte less does not.
    const std::string exact = p.substr(0, p.size() - 4);
    EXPECT_TRUE(vivorule::FindAppDataBlock(exact.data(), (int)exact.size(), off, size));
    EXPECT_FALSE(vivorule::FindAppDataBlock(exact.data(), (int)exact.size() - 1, off, size));
    EXPECT_FALSE(vivorule::FindAppDataBlock(nullptr, 10, off, size));
}

}  // namespace
