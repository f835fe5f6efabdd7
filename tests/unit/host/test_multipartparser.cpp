// Framing of multipart streams: captured streams replayed cut at every byte
// offset must give the same parts every time (reads of any size: fuzz_multipart_framing);
// hostile input must fail the stream without holding more than its limits.
#include <gtest/gtest.h>

#include <vector>

#include "host/multipart/multipartparser.h"
#include "tests/fixtures/testutil.h"

using BrellinOwned::MultipartBoundary;
using BrellinOwned::MultipartParser;
using BrellinOwned::MultipartPart;

namespace {

struct Outcome {
    std::vector<std::string> bodies;
    bool failed = false;
    bool ended = false;
};

Outcome Replay(const std::string& boundary, const std::string& data, const std::vector<size_t>& cuts) {
    MultipartParser p(boundary);
    Outcome o;
    size_t from = 0;
    std::vector<size_t> all(cuts);
    all.push_back(data.size());
    for (size_t cut : all) {
        p.Feed(data.data() + from, cut - from);
        from = cut;
        MultipartPart part;
        while (p.PopPart(part)) o.bodies.push_back(part.body);
    }
    o.failed = p.Failed();
    o.ended = p.Ended();
    return o;
}

struct Capture {
    const char* name;
    const char* file;
    const char* boundary;  // as the response's Content-Type announces it
    std::vector<std::string> bodies;
    bool ended;
};

std::vector<Capture> Captures() {
    const std::string hb = camtest::TestData("hikvision/heartbeat.xml");
    const std::string vmd = camtest::TestData("hikvision/vmd_active.xml");
    const std::string io2 = camtest::TestData("hikvision/io2_active.xml");
    return {
        {"hikvision_isapi_crlf_with_length", "multipart/hik_isapi_crlf.bin", "boundary", {hb, vmd, hb, io2}, false},
        {"hikvision_boundary_announced_with_dashes", "multipart/hik_isapi_crlf.bin", "--boundary", {hb, vmd, hb, io2},
         false},
        {"hikvision_boundary_learned", "multipart/hik_isapi_crlf.bin", "", {hb, vmd, hb, io2}, false},
        {"lf_only_no_length_bare_boundary_blank_lines", "multipart/lf_nolength_bare.bin", "myboundary",
         {"motion=1\nlevel=50", "motion=0", "alarm=1"}, true},
        {"garbage_heartbeat_headerless_closed_midpart", "multipart/garbage_closed_midpart.bin", "ipcamera",
         {"motion=1", "", "alarm=1"}, false},
    };
}

TEST(MultipartParser, EveryCutGivesTheSameParts) {
    for (const Capture& c : Captures()) {
        SCOPED_TRACE(c.name);
        const std::string data = camtest::TestData(c.file);
        ASSERT_FALSE(data.empty());
        Outcome whole = Replay(c.boundary, data, {});
        EXPECT_EQ(whole.bodies, c.bodies);
        EXPECT_FALSE(whole.failed);
        EXPECT_EQ(whole.ended, c.ended);
        for (size_t cut = 1; cut < data.size(); ++cut) {
            Outcome o = Replay(c.boundary, data, {cut});
            ASSERT_EQ(o.bodies, c.bodies) << "cut at " << cut;
            ASSERT_EQ(o.ended, c.ended) << "cut at " << cut;
        }
    }
}

// A body that itself holds a boundary-looking line and NUL bytes keeps them all.
TEST(MultipartParser, PartHeadersAndBinaryBodyAreKept) {
    MultipartParser p("b");
    const std::string body("\x00\x01\r\n--b\r\n\xff", 9);
    const std::string s = "--b\r\nContent-Type: image/jpeg\r\nPragma: trigger=input\r\nContent-Length: 9\r\n\r\n" +
                          body + "\r\n--b\r\n";
    ASSERT_TRUE(p.Feed(s.data(), s.size()));
    MultipartPart part;
    ASSERT_TRUE(p.PopPart(part));
    EXPECT_EQ(part.contentType, "image/jpeg");
    EXPECT_EQ(part.headers, "Content-Type: image/jpeg\nPragma: trigger=input\nContent-Length: 9\n");
    EXPECT_EQ(part.body, body);
    EXPECT_FALSE(p.PopPart(part));
}

struct HostileCase {
    const char* name;
    std::string head;
    bool failsAtOnce;
};

TEST(MultipartParser, HostileStreamsFailWithoutHoldingMemory) {
    const HostileCase cases[] = {
        {"a part announcing 1 GB", "--b\r\nContent-Length: 1073741824\r\n\r\n", true},
        {"a length of many digits", "--b\r\nContent-Length: 99999999999999999999999\r\n\r\n", true},
        {"endless body without length", "--b\r\nContent-Type: text/plain\r\n\r\n", false},
        {"endless header line", "--b\r\nX-Junk: ", false},
    };
    const std::string filler(64 * 1024, 'x');
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        MultipartParser p("b");
        p.Feed(c.head.data(), c.head.size());
        EXPECT_EQ(p.Failed(), c.failsAtOnce);
        for (int i = 0; i < 200 && !p.Failed(); ++i) {
            p.Feed(filler.data(), filler.size());
            ASSERT_LE(p.Held(), MultipartParser::kMaxPartBytes + filler.size() + MultipartParser::kMaxHeaderBytes);
        }
        EXPECT_TRUE(p.Failed());
        EXPECT_EQ(p.Held(), 0u);  // a broken stream keeps nothing
        EXPECT_FALSE(p.Feed("--b\r\n", 5));  // stays broken
    }
}

TEST(MultipartParser, EndlessGarbageBetweenPartsStaysBounded) {
    MultipartParser p("b");
    const std::string junk(64 * 1024, 'g');  // no line end at all
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(p.Feed(junk.data(), junk.size()));
    EXPECT_LT(p.Held(), 2 * junk.size());
    const std::string tail = "\r\n--b\r\nContent-Length: 2\r\n\r\nok\r\n";
    p.Feed(tail.data(), tail.size());
    MultipartPart part;
    ASSERT_TRUE(p.PopPart(part));
    EXPECT_EQ(part.body, "ok");
}

TEST(MultipartParser, BoundaryFromContentType) {
    struct {
        const char* ct;
        const char* boundary;
    } rows[] = {
        {"multipart/mixed; boundary=\"--quoted b\"", "--quoted b"},
        {"multipart/x-mixed-replace;boundary=--ipcam; charset=x", "--ipcam"},
        {"Multipart/Mixed; BOUNDARY=Up", "Up"},
        {"multipart/x-mixed-replace", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(MultipartBoundary(r.ct), r.boundary) << r.ct;
}

}  // namespace
