// The library's line splitter: line ends (LF, CR LF, a lone CR), lines
// longer than the output, and the end of the buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camdet/rules/lines.h"

namespace {

struct LineCase {
    const char* name;
    std::string buf;
    unsigned int start;
    int outMax;
    std::vector<std::string> lines;  // successive results while pos < len
    std::vector<unsigned int> positions;
};

TEST(ReadToLineEndTest, SplitsLinesAsTheParsersExpect) {
    const LineCase cases[] = {
        {"CRLF", std::string("ab\r\ncd"), 0, 128, {"ab", "cd"}, {4, 6}},
        {"LF and empty line", std::string("a\n\nb\n"), 0, 128, {"a", "", "b"}, {2, 3, 5}},
        {"lone CR", std::string("x\ry"), 0, 128, {"x", "y"}, {2, 3}},
        {"CR then LF beyond len", std::string("ab\r"), 0, 128, {"ab"}, {3}},
        {"start mid-buffer", std::string("skip\nkeep"), 5, 128, {"keep"}, {9}},
        {"long line split, byte lost", std::string("abcdef"), 0, 3, {"ab", "de"}, {3, 6}},
        {"split exactly at line end", std::string("ab\ncd"), 0, 3, {"ab", "cd"}, {3, 5}},
        {"outMax 1", std::string("ab"), 0, 1, {"", ""}, {1, 2}},
        {"NUL inside", std::string("a\0b\n", 4), 0, 128, {std::string("a\0b", 3)}, {4}},
        {"at the end", std::string("abc"), 3, 8, {}, {}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> buf(c.buf.begin(), c.buf.end());
        buf.push_back('#');  // must never be read: len excludes it
        unsigned int pos = c.start;
        std::vector<char> out(c.outMax + 8, 'Z');
        size_t i = 0;
        while (pos < c.buf.size()) {
            ASSERT_LT(i, c.lines.size());
            int n = ReadToLineEnd(buf.data(), (unsigned)c.buf.size(), pos, out.data(), c.outMax);
            EXPECT_EQ((int)c.lines[i].size(), n);
            EXPECT_EQ(c.lines[i], std::string(out.data(), n));
            EXPECT_EQ('\0', out[n]);
            EXPECT_EQ(c.positions[i], pos);
            ++i;
        }
        EXPECT_EQ(c.lines.size(), i);
        // At the end nothing is consumed.
        EXPECT_EQ(0, ReadToLineEnd(buf.data(), (unsigned)c.buf.size(), pos, out.data(), c.outMax));
        EXPECT_EQ(std::make_pair(c.buf.size(), '\0'), std::make_pair((size_t)pos, out[0]));
    }
}

}  // namespace
