// Vivotek payloads, byte for byte: locating the application-data block, the
// motion window bit stream, the tampering marker, the group 0 APP0 level and
// the input answers.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camdet/rules/vivotekrules.h"

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

struct AppCase {
    const char* what;
    std::string payload;
    int kind;
    bool trig;
    int value;
};

TEST(VivotekRules, ApplicationData) {
    const std::string secondFires = Bits().Window(false, 20).Window(true, 70).Bytes();
    const std::string countBeyond = std::string("abcjpegX") + std::string(1, '\0') + "12";
    // A first tag whose fifth byte after it is not zero is skipped (and mp4v is a tag).
    const std::string nonZeroAfterTag = AppData(Bits().Window(true, 33).Bytes(), "mp4v", "jpegQ\x01zz");
    // A marker two bytes before the block's end, and a set byte right after the block.
    std::string flagPastBlock = AppData(std::string("\x00\x00\x18\x00", 4));
    flagPastBlock[flagPastBlock.size() - 4] = '\x80';
    const AppCase cases[] = {
        {"second present window fires", AppData(secondFires), 1, true, 70},
        {"first window fires", AppData(Bits().Window(true, 99).Window(true, 10).Bytes()), 1, true, 99},
        {"absent, then present and firing", AppData(Bits().Absent().Window(true, 12).Bytes(8)), 1, true, 12},
        {"no present window", AppData(Bits().Absent().Absent().Absent().Bytes()), 1, false, 0},
        {"three present quiet windows: last level",
         AppData(Bits().Window(false, 5).Window(false, 6).Window(false, 7).Bytes()), 1, false, 7},
        {"fourth record is never read", AppData(Bits().Absent().Absent().Absent().Window(true, 50).Bytes()), 1, false,
         0},
        {"jpeg tag", AppData(Bits().Window(true, 64).Bytes(), "jpeg", ""), 1, true, 64},
        {"unknown tag", AppData(Bits().Window(true, 64).Bytes(), "h265"), 1, false, 0},
        {"tag without its zero byte is skipped", nonZeroAfterTag, 1, true, 33},
        {"count 0x80 is negative", AppData(Bits().Window(true, 64).Bytes(), "h264", "", 0x80), 1, false, 0},
        {"count 0", AppData(Bits().Window(true, 64).Bytes(), "h264", "", 0), 1, false, 0},
        {"block longer than the payload", AppData(Bits().Window(true, 64).Bytes(), "h264", "", 4), 1, false, 0},
        {"count byte beyond the payload", countBeyond, 1, false, 0},
        {"tampering flag set", AppData(std::string("\x00\x18\x00\x80", 4)), 3, true, 100},
        {"tampering flag clear", AppData(std::string("\x00\x18\x00\x7f", 4)), 3, false, 0},
        {"only the first marker counts", AppData(std::string("\x18\x00\x00\x18\x00\x80\x00\x00", 8)), 3, false, 0},
        {"flag byte beyond the block", AppData(std::string("\x00\x00\x00\x18", 4)), 3, false, 0},
        {"flag byte just past the block", flagPastBlock, 3, false, 0},
        {"no marker", AppData(std::string("\x00\x00\x80\x80", 4)), 3, false, 0},
        {"unknown kind", AppData(std::string("\x00\x18\x00\x80", 4)), 4, false, 0},
        {"4-byte payload holds nothing", std::string("\x01\x18\x00\x80", 4), 3, false, 0},
        {"3-byte payload: count at 0, never a whole block", std::string("\x01\x18\x00", 3), 3, false, 0},
        {"empty payload", "", 1, false, 0},
    };
    for (const AppCase& c : cases) {
        int value = -7;
        EXPECT_EQ(vivorule::CheckTrigValInAppData(c.payload.data(), (int)c.payload.size(), value, c.kind), c.trig)
            << c.what;
        EXPECT_EQ(value, c.value) << c.what;
    }
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

TEST(VivotekRules, Group0App0) {
    struct {
        std::string payload;
        bool trig;
        int value;
    } cases[] = {
        {std::string("\0\0\0\0\0\0\x01\x05", 8), true, 36},
        {std::string("\0\0\0\0\0\0\x03\xff", 8), true, 96},
        {std::string("\0\0\0\0\0\0\x00\x05", 8), false, 0},
        {std::string("\0\0\0\0\0\0\x01", 7), false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        int value = -7;
        EXPECT_EQ(vivorule::Group0Motion(c.payload.data(), (unsigned int)c.payload.size(), value), c.trig);
        EXPECT_EQ(value, c.value);
    }
}

TEST(VivotekRules, InputAnswers) {
    int value = -7;
    const char* di = "DI1=L\nDI2=H\n";
    EXPECT_FALSE(vivorule::Vivotek2Input(0, di, (unsigned int)strlen(di), value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(vivorule::Vivotek2Input(1, di, (unsigned int)strlen(di), value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(vivorule::Vivotek2Input(2, di, (unsigned int)strlen(di), value));

    const char* list = "di0=0\ndi1=1\ndi2=1\n";
    EXPECT_FALSE(vivorule::Vivotek8Input(0, 0, list, (unsigned int)strlen(list), value));
    EXPECT_TRUE(vivorule::Vivotek8Input(1, 0, list, (unsigned int)strlen(list), value));
    EXPECT_EQ(value, 1);
    // A channel of a video server reads its own input: offset 2 reads di2.
    EXPECT_TRUE(vivorule::Vivotek8Input(0, 2, list, (unsigned int)strlen(list), value));
    const char* other = "di1=10\n";
    EXPECT_FALSE(vivorule::Vivotek8Input(1, 0, other, (unsigned int)strlen(other), value));
    EXPECT_EQ(value, 0);
}

}  // namespace
