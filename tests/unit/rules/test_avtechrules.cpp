// AVTECH's extension tests: where the keywords count, and what every port reads.
#include <string>

#include <gtest/gtest.h>

#include "camdet/rules/avtechrules.h"

namespace {

// text at offset `at` of an extension `len` bytes long (filled with '.').
std::string Ext(const std::string& text, size_t at, size_t len) {
    std::string s(len, '.');
    s.replace(at, text.size(), text);
    return s;
}

TEST(AvtechRules, KeywordRanges) {
    struct Case {
        const char* what;
        std::string ext;
        bool motion;
        bool alarm;
    } cases[] = {
        {"both at the start", Ext("MOTION ALARM", 0, 40), true, true},
        {"MOTION starting 23 bytes before the end", Ext("MOTION", 17, 40), true, false},
        {"MOTION starting 22 bytes before the end", Ext("MOTION", 18, 40), false, false},
        {"ALARM starting 22 bytes before the end", Ext("ALARM", 18, 40), false, true},
        {"ALARM starting 21 bytes before the end", Ext("ALARM", 19, 40), false, false},
        {"exactly 23 bytes", Ext("MOTION", 0, 23), true, false},
        {"22 bytes: MOTION never", Ext("MOTION", 0, 22), false, false},
        {"22 bytes: ALARM at the start", Ext("ALARM", 0, 22), false, true},
        {"21 bytes: nothing ever", Ext("ALARM", 0, 21), false, false},
        {"lower case", Ext("motion alarm", 0, 40), false, false},
        {"empty", std::string(), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int value = -1;
        EXPECT_EQ(c.motion, avtechrule::Motion(c.ext.data(), (unsigned int)c.ext.size(), value));
        EXPECT_EQ(c.motion ? 100 : 0, value);
        for (int port = 0; port < 3; ++port) {
            value = -1;
            EXPECT_EQ(c.alarm, avtechrule::Input(port, c.ext.data(), (unsigned int)c.ext.size(), value));
            EXPECT_EQ(c.alarm ? 100 : 0, value);
        }
    }
    int value = -1;
    EXPECT_FALSE(avtechrule::Motion(nullptr, 0, value));
    EXPECT_EQ(0, value);
}

}  // namespace
