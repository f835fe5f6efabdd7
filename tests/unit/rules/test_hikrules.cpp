// HikVision alert rules: each generation's held-state rules over sequences
// of captured parts (which reach the element lookup on every part), and the
// lookup's textual edge cases.
#include <gtest/gtest.h>

#include <vector>

#include "camdet/rules/hikrules.h"
#include "tests/fixtures/testutil.h"

namespace {

std::string Part(const std::string& name) {
    const std::string body = camtest::TestData("hikvision/" + name);
    EXPECT_FALSE(body.empty()) << name;
    return body;
}

// The buffer as the transport hands it over: the body, zeros up to the capacity.
struct Buf {
    std::vector<char> bytes;
    explicit Buf(const std::string& body, size_t capacity = 1024) : bytes(std::max(capacity, body.size()) + 1, 0) {
        std::copy(body.begin(), body.end(), bytes.begin());
    }
    char* data() { return bytes.data(); }
    unsigned int size() const { return (unsigned int)bytes.size() - 1; }
};

TEST(HikVisionAlert, LookupIsTextualAsTheCameraFirmwareExpects) {
    std::string v;
    // A name inside earlier text is matched there.
    EXPECT_TRUE(HikFindElement("<d>no eventType here</d><eventType>VMD</eventType>", "eventType", v));
    EXPECT_NE(v, "VMD");
    EXPECT_FALSE(HikFindElement("<eventType>VMD", "eventType", v));  // no end tag
    EXPECT_TRUE(HikFindElement("<eventType/eventType>", "eventType", v));
    EXPECT_EQ(v, "");  // degenerate, but no out-of-range read
    EXPECT_FALSE(HikFindElement("", "eventType", v));
}

// Sequences: each step is a part file (or "" for a part without eventType)
// and the expected (trigger, level) after it.
struct Step {
    const char* file;
    bool trig;
    int level;
};

std::string Body(const char* file) { return *file ? Part(file) : Part("no_event_type.xml"); }

bool VmdHoldTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level) {
    return HikHoldTest(buf, size, "VMD", st, level);
}

bool AudioHoldTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level) {
    return HikHoldTest(buf, size, "audioexception", st, level);
}

TEST(HikVisionAlert, HeldStateOverSequencesOfParts) {
    // Ten parts of another type keep the V3 hold; parts without an eventType
    // do not count; the eleventh clears it.
    std::vector<Step> eleventh = {{"audio_active.xml", true, 100}};
    for (int i = 0; i < 10; ++i) eleventh.insert(eleventh.end(), {{"vmd_active.xml", true, 100}, {"", true, 100}});
    eleventh.push_back({"vmd_active.xml", false, 0});
    const struct {
        const char* name;
        bool (*rule)(const char*, unsigned int, HIK_HOLD_STATE&, int&);
        std::vector<Step> steps;
    } rows[] = {
        {"V3 hold test follows the event state", VmdHoldTest,
         {{"vmd_active.xml", true, 100}, {"heartbeat.xml", true, 100}, {"vmd_inactive.xml", false, 0},
          {"vmd_active.xml", true, 100}, {"vmd_unknown_state.xml", false, 0}, {"truncated_vmd.xml", false, 0},
          {"", false, 0}}},
        {"V3 hold test clears on the eleventh part of another type", AudioHoldTest, eleventh},
        {"old edge test keeps its state until the other edge", HikEdgeMotionTest,
         {{"heartbeat.xml", false, 0}, {"vmd_active_v1.xml", true, 100}, {"heartbeat.xml", true, 100},
          {"vmd_unknown_state.xml", true, 100}, {"", true, 100}, {"vmd_inactive.xml", false, 0},
          {"field_active_v1.xml", false, 0}}},
        {"old level test reports the held state for three parts after an evaluation", HikLevelMotionTest,
         {// The first three parts after construction are not examined.
          {"vmd_active.xml", false, 0}, {"vmd_active.xml", false, 0}, {"vmd_active.xml", false, 0},
          {"vmd_active.xml", true, 100},  // evaluated
          {"vmd_inactive.xml", true, 100}, {"", true, 100}, {"heartbeat.xml", true, 100},
          {"heartbeat.xml", false, 0},  // evaluated: another type reports quiet, hold kept
          {"field_active_v1.xml", true, 100},
          {"vmd_inactive.xml", true, 100}, {"vmd_inactive.xml", true, 100}, {"vmd_inactive.xml", true, 100},
          {"vmd_inactive.xml", false, 0}}},
        {"old sampled tampering examines the third part, then every second", HikSampledTamperTest,
         {{"shelter_active.xml", false, 0}, {"shelter_active.xml", false, 0},
          {"heartbeat.xml", false, 0},       // third part: examined, not tampering
          {"shelter_active.xml", true, 100},  // examined again at once
          {"heartbeat.xml", true, 100},      // skipped, held
          {"heartbeat.xml", false, 0},       // examined
          {"", false, 0},                    // examined again
          {"shelter_active.xml", true, 100}}},
    };
    for (const auto& r : rows) {
        HIK_HOLD_STATE st;
        for (size_t i = 0; i < r.steps.size(); ++i) {
            SCOPED_TRACE(std::string(r.name) + ", part " + std::to_string(i) + " " + r.steps[i].file);
            Buf b(Body(r.steps[i].file));
            int level = -1;
            const bool trig = r.rule(b.data(), b.size(), st, level);
            EXPECT_EQ(std::make_pair(trig, level), std::make_pair(r.steps[i].trig, r.steps[i].level));
        }
    }
}

TEST(HikVisionV3, InputPortTwoTouchesPortOneOnly) {
    HIK_PORT_STATE st(4);
    Buf io2(Part("io2_active.xml"));
    int level = -1;
    for (int port = 0; port < 4; ++port) {
        EXPECT_EQ(HikHoldPortTest(port, io2.data(), io2.size(), st, level), port == 1) << port;
        EXPECT_EQ(level, port == 1 ? 1 : 0);
    }
    EXPECT_EQ(st.counter[0], 1);  // counted as a part of another type
    EXPECT_EQ(st.counter[1], 0);
    // Input 1 going inactive leaves port 1 held.
    Buf io1(Part("io1_inactive.xml"));
    EXPECT_FALSE(HikHoldPortTest(0, io1.data(), io1.size(), st, level));
    EXPECT_TRUE(HikHoldPortTest(1, io1.data(), io1.size(), st, level));
    EXPECT_FALSE(HikHoldPortTest(7, io1.data(), io1.size(), st, level));  // beyond the ports: quiet
    EXPECT_EQ(level, 0);
    // Ten parts of another type keep a held port; the eleventh releases it.
    HIK_PORT_STATE fresh(2);
    Buf vmd(Part("vmd_active.xml"));
    EXPECT_TRUE(HikHoldPortTest(1, io2.data(), io2.size(), fresh, level));
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(HikHoldPortTest(1, vmd.data(), vmd.size(), fresh, level)) << i;
    EXPECT_FALSE(HikHoldPortTest(1, vmd.data(), vmd.size(), fresh, level));
}

TEST(HikVisionOld, LevelAndEdgeInputTests) {
    HIK_PORT_STATE edge(2), lvl(2);
    Buf io2(Part("io2_active.xml")), hb(Part("heartbeat.xml"));
    int level = -1;
    EXPECT_TRUE(HikEdgeInputTest(1, io2.data(), io2.size(), edge, level));
    EXPECT_EQ(level, 1);
    EXPECT_FALSE(HikEdgeInputTest(0, io2.data(), io2.size(), edge, level));
    EXPECT_TRUE(HikEdgeInputTest(1, hb.data(), hb.size(), edge, level));
    // Only "inactive" on the same input releases it; another state does not.
    const std::string port2 = "<inputIOPortID>2</inputIOPortID><eventType>IO</eventType>";
    Buf odd(port2 + "<eventState>unknown</eventState>"), off(port2 + "<eventState>inactive</eventState>");
    EXPECT_TRUE(HikEdgeInputTest(1, odd.data(), odd.size(), edge, level));
    EXPECT_FALSE(HikEdgeInputTest(1, off.data(), off.size(), edge, level));
    EXPECT_EQ(level, 0);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(HikLevelInputTest(1, io2.data(), io2.size(), lvl, level));
    EXPECT_TRUE(HikLevelInputTest(1, io2.data(), io2.size(), lvl, level));
    EXPECT_EQ(level, 1);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(HikLevelInputTest(1, hb.data(), hb.size(), lvl, level));
    EXPECT_FALSE(HikLevelInputTest(1, hb.data(), hb.size(), lvl, level));
    EXPECT_EQ(level, 0);
}

TEST(HikVisionAlert, HostileBodiesAreQuiet) {
    const std::string bodies[] = {"", std::string(5000, '<'), "eventType/eventType",
                                  "<eventType>" + std::string(3000, 'x')};
    for (const std::string& body : bodies) {
        Buf b(body);
        HIK_HOLD_STATE st;
        HIK_PORT_STATE ps(1);
        int level = -1;
        EXPECT_FALSE(HikHoldTest(b.data(), b.size(), "VMD", st, level));
        EXPECT_EQ(level, 0);
        EXPECT_FALSE(HikHoldPortTest(0, b.data(), b.size(), ps, level));
        EXPECT_FALSE(HikEdgeMotionTest(b.data(), b.size(), st, level));
    }
}

}  // namespace
