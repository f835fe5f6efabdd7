// Response-head parsing and line splitting of the recorder's network clients.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "host/net/httpparse.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/fakenet.h"

using BrellinOwned::HttpResponseHead;
using BrellinOwned::LineBuffer;

namespace {

TEST(HttpParse, StatusLines) {
    // A status line -> major|minor|code|reason, null when it is refused.
    const std::pair<const char*, const char*> cases[] = {
        {"HTTP/1.1 200 OK", "1|1|200|OK"},
        {"HTTP/1.0 401 Unauthorized\r\n", "1|0|401|Unauthorized"},
        {"HTTP/1.1 404 Not  Found \n", "1|1|404|Not  Found"},
        {"HTTP/1.1 204", "1|1|204|"},
        {"HTTP/1.1 100 Continue", "1|1|100|Continue"},
        {"HTTP/2 200 ", "2|0|200|"},
        {"HTTP/1.1  500  Internal", "1|1|500|Internal"},
        {"HTTP/1.1 20", nullptr},
        {"HTTP/1.1 2000 Big", nullptr},
        {"HTTP/1000 200 OK", nullptr},
        {"HTTP/1.1 099 Low", nullptr},
        {"HTTP/1.1200 OK", nullptr},
        {"HTTP/ 200 OK", nullptr},
        {"HTTP/1. 200 OK", nullptr},
        {"ICY 200 OK", nullptr},
        {"http/1.1 200 OK", nullptr},
        {"", nullptr},
        {"HTTP/1.1 2x0 OK", nullptr},
    };
    for (const auto& c : cases) {
        int major = -1, minor = -1, code = -1;
        std::string reason = "unchanged";
        const bool ok = BrellinOwned::ParseStatusLine(c.first, strlen(c.first), major, minor, code, reason);
        EXPECT_EQ(c.second != nullptr, ok) << c.first;
        if (ok && c.second) {
            EXPECT_EQ(c.second, std::to_string(major) + "|" + std::to_string(minor) + "|" + std::to_string(code) +
                                    "|" + reason);
        } else if (!ok) {
            EXPECT_EQ(-1, code) << c.first;  // nothing written on failure
        }
    }
    // An empty view never looks at the bytes before it (here a line end and a
    // status line that a read one byte back would take for its own).
    const char around[] = "x\nHTTP/1.1 200 OK";
    int major = -1, minor = -1, code = -1;
    std::string reason;
    EXPECT_FALSE(BrellinOwned::ParseStatusLine(around + 2, 0, major, minor, code, reason));
}

void Feed(HttpResponseHead& head, const std::vector<std::string>& lines, bool* lastOk = nullptr) {
    bool ok = true;
    for (const std::string& l : lines) ok = head.AddLine(l.data(), l.size());
    if (lastOk) *lastOk = ok;
}

// An interim answer and a challenge are each replaced by the head after them.
TEST(HttpParse, OnlyTheFinalHeadIsKept) {
    for (const std::string e : {"\r\n", "\n"}) {  // some cameras end lines with LF alone
        SCOPED_TRACE(e.size() == 2 ? "CR LF" : "LF");
        HttpResponseHead head;
        Feed(head, {"HTTP/1.1 100 Continue" + e, e});
        EXPECT_TRUE(head.Complete());
        EXPECT_EQ(100, head.Code());
        Feed(head, {"HTTP/1.1 401 Unauthorized" + e, "WWW-Authenticate: Digest realm=\"cam\", nonce=\"x\"" + e,
                    "Content-Length: 12" + e, e});
        EXPECT_TRUE(head.Complete());
        EXPECT_EQ(401, head.Code());
        EXPECT_TRUE(head.OffersBasicOrDigest());
        Feed(head, {"HTTP/1.1 200 OK" + e, "content-type:  text/plain " + e, "X-Folded: first" + e,
                    "\t second " + e, "Server: cam\n"});
        EXPECT_FALSE(head.Complete());
        Feed(head, {e});
        EXPECT_TRUE(head.Complete());
        EXPECT_EQ(200, head.Code());
        EXPECT_EQ("HTTP/1.1 200 OK", head.StatusLine());
        std::string v;
        EXPECT_TRUE(head.FindHeader("Content-Type", v));
        EXPECT_EQ("text/plain", v);
        EXPECT_TRUE(head.FindHeader("x-folded", v));
        EXPECT_EQ("first second", v);
        EXPECT_TRUE(head.FindHeader("server", v));
        EXPECT_EQ("cam", v);
        EXPECT_FALSE(head.FindHeader("Content-Length", v)) << "the challenge's headers must be gone";
        EXPECT_FALSE(head.OffersBasicOrDigest());
        EXPECT_EQ("content-type:  text/plain \r\nX-Folded: first\r\n\t second \r\nServer: cam\r\n", head.AllHeaders());
    }
}

TEST(HttpParse, BrokenHeads) {
    {
        HttpResponseHead head;
        bool ok = true;
        Feed(head, {"Content-Type: text/plain\r\n"}, &ok);
        EXPECT_FALSE(ok) << "header without status line";
        EXPECT_TRUE(head.Failed());
        EXPECT_FALSE(head.HasStatus());
    }
    {
        HttpResponseHead head;
        Feed(head, {"HTTP/1.1 200 OK\r\n"});
        const std::string big = "X-Big: " + std::string(1000, 'a') + "\r\n";
        bool ok = true;
        size_t fed = 0;
        while (ok && fed < 200) {
            ok = head.AddLine(big.data(), big.size());
            ++fed;
        }
        EXPECT_FALSE(ok) << "an endless head must be refused";
        EXPECT_LE(fed * big.size(), HttpResponseHead::kMaxHeadBytes + big.size());
        EXPECT_TRUE(head.Failed());
        EXPECT_FALSE(head.Complete());
    }
    {
        HttpResponseHead head;
        Feed(head, {"HTTP/1.1 200 OK\r\n", "no colon here\r\n", "\r\n"});
        EXPECT_TRUE(head.Complete());
        std::string v;
        EXPECT_FALSE(head.FindHeader("no colon here", v));
    }
}

TEST(HttpParse, AuthSchemesOffered) {
    const struct {
        const char* header;
        bool offered;
    } cases[] = {
        {"WWW-Authenticate: Basic realm=\"cam\"", true},
        {"WWW-Authenticate: Digest realm=\"cam\", qop=\"auth\"", true},
        {"www-authenticate: NTLM, basic realm=x", true},
        {"WWW-Authenticate: Negotiate", false},
        {"WWW-Authenticate: Bearer realm=\"Basic\"", false},
        {"WWW-Authenticate: DigestX realm=a", false},
        {"X-Other: Basic", false},
    };
    for (const auto& c : cases) {
        HttpResponseHead head;
        Feed(head, {"HTTP/1.1 401 Unauthorized", c.header, ""});
        EXPECT_EQ(c.offered, head.OffersBasicOrDigest()) << c.header;
    }
}

// Reads every line out of the stream, fed in the given pieces.
std::vector<std::string> SplitLines(LineBuffer& lb, const std::vector<std::string>& pieces, int outMax) {
    std::vector<std::string> lines;
    std::vector<char> out(outMax);
    for (size_t i = 0; i <= pieces.size(); ++i) {
        const bool end = i == pieces.size();
        if (!end) {
            size_t off = 0;
            while (off < pieces[i].size()) {
                off += lb.Append(pieces[i].data() + off, pieces[i].size() - off);
                int n;
                while ((n = lb.TakeLine(out.data(), outMax, false)) >= 0) lines.push_back(std::string(out.data(), n));
            }
        }
        int n;
        while ((n = lb.TakeLine(out.data(), outMax, end)) >= 0) {
            EXPECT_EQ('\0', out[n]);
            lines.push_back(std::string(out.data(), n));
        }
    }
    return lines;
}

TEST(HttpParse, LinesSplitAtEveryOffsetGiveTheSameLines) {
    const std::string stream = "ab\r\ncd\n\r\n" + std::string(20, 'L') + "\r\nx\ry\nexact7\r\n1234567\r\nlast\r";
    const std::vector<std::string> expected = {"ab", "cd", "", "LLLLLLL", "x\ry", "exact7", "1234567", "last"};
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        LineBuffer lb(64);
        EXPECT_EQ(expected, SplitLines(lb, {stream.substr(0, cut), stream.substr(cut)}, 8)) << "cut at " << cut;
    }
    // One byte at a time.
    std::vector<std::string> bytes;
    for (char c : stream) bytes.push_back(std::string(1, c));
    LineBuffer lb(64);
    EXPECT_EQ(expected, SplitLines(lb, bytes, 8));
}

TEST(HttpParse, LineLongerThanTheBufferIsCutAndItsRestDropped) {
    LineBuffer lb(16);
    const std::string stream = std::string(40, 'a') + "\nnext\n";
    EXPECT_EQ((std::vector<std::string>{std::string(16, 'a'), "next"}), SplitLines(lb, {stream}, 100));
    EXPECT_EQ(0u, lb.Size());
}

TEST(HttpParse, RawTakeAfterPartialLine) {
    LineBuffer lb(32);
    const std::string s = "line\r\nraw";
    lb.Append(s.data(), s.size());
    char out[16];
    EXPECT_EQ(4, lb.TakeLine(out, sizeof(out), false));
    EXPECT_STREQ("line", out);
    EXPECT_EQ(-1, lb.TakeLine(out, sizeof(out), false));
    EXPECT_EQ(3u, lb.Take(out, sizeof(out)));
    EXPECT_EQ("raw", std::string(out, 3));
    // Space is bounded: a full buffer takes no more.
    const std::string big(100, 'z');
    EXPECT_EQ(32u, lb.Append(big.data(), big.size()));
    EXPECT_TRUE(lb.Full());
    EXPECT_EQ(0u, lb.Append("q", 1));
    // A stuck (paused) source cuts what there is.
    LineBuffer lb2(32);
    lb2.Append("abc", 3);
    EXPECT_EQ(-1, lb2.TakeLine(out, sizeof(out), false));
    EXPECT_EQ(3, lb2.TakeLine(out, sizeof(out), false, true));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(-1, lb2.TakeLine(out, 1, false)) << "no room for any character";
}

TEST(HttpParse, AppendUsesTheRoomFreedAtTheFront) {
    LineBuffer lb(8);
    char out[8];
    EXPECT_EQ(6u, lb.Append("abcdef", 6));
    EXPECT_EQ(4u, lb.Take(out, 4));
    EXPECT_EQ(6u, lb.Space());
    EXPECT_EQ(6u, lb.Append("ghijkl", 6));
    EXPECT_EQ(8u, lb.Take(out, 8));
    EXPECT_EQ("efghijkl", std::string(out, 8));
    EXPECT_EQ(0u, lb.Size());
}

TEST(HttpParse, EndOfStreamWhileSkippingACutLine) {
    LineBuffer lb(64);
    const std::string s = "0123456789";
    lb.Append(s.data(), s.size());
    char out[4];
    EXPECT_EQ(3, lb.TakeLine(out, sizeof(out), false));
    EXPECT_STREQ("012", out);
    EXPECT_EQ(-1, lb.TakeLine(out, sizeof(out), true)) << "the rest of a cut line is no line of its own";
    EXPECT_EQ(0u, lb.Size());
    // One byte left at the end is a line of its own.
    lb.Append("z", 1);
    EXPECT_EQ(-1, lb.TakeLine(out, sizeof(out), false));
    EXPECT_EQ(1, lb.TakeLine(out, sizeof(out), true));
    EXPECT_STREQ("z", out);
}

TEST(HttpParse, RequestPathAndHeaderText) {
    const struct {
        const char* in;
        const char* out;
    } paths[] = {
        {"cgi-bin/status.cgi?ch=1&x=2", "/cgi-bin/status.cgi?ch=1&x=2"},
        {"/axis-cgi/io/port.cgi?check=1,2", "/axis-cgi/io/port.cgi?check=1,2"},
        {"", "/"},
        {"a b\tc", "/a%20b%09c"},
        {"/x?q=\"<>{}|\\^`#", "/x?q=%22%3C%3E%7B%7D%7C%5C%5E%60%23"},
        {"/%41", "/%41"},
        {"/a\x7f", "/a%7F"},
        {"/\xc3\xa9\r\n", "/%C3%A9%0D%0A"},
    };
    for (const auto& p : paths) EXPECT_EQ(p.out, BrellinOwned::NormalizeRequestPath(p.in)) << p.in;

    EXPECT_EQ((std::vector<std::string>{"X-A: 1", "X-B:2"}), BrellinOwned::SplitHeaderLines("X-A: 1\r\nX-B:2"));
    EXPECT_EQ((std::vector<std::string>{"C: 3"}), BrellinOwned::SplitHeaderLines("\r\nno colon\r\n\nC: 3\n"));
    EXPECT_TRUE(BrellinOwned::SplitHeaderLines("").empty());
    EXPECT_TRUE(BrellinOwned::SplitHeaderLines("A: 1\rInjected: 2").empty()) << "a bare CR must not split a line";
}

}  // namespace

// The connections' reader over a scripted stream: the same lines whatever the
// reads' sizes, a pause past the time-out is a time-out that leaves the
// caller's last line as it was (a loop evaluates it again), and the partial
// line it interrupted is completed by the next read.
TEST(StreamReader, LinesAtEveryReadSizeAndTimeOutsKeepTheCallersLine) {
    const std::string stream = "line1\r\nline2\n\r\n" + std::string(30, 'x') + "\r\nend\rx\nlast";
    const std::vector<std::string> expected = {"line1", "line2", "", std::string(15, 'x'), "end\rx", "last"};
    for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        camtest::FakeClock clock;
        camtest::FakeNet net(clock);
        net.Add(camtest::FakeConn().Send(stream.substr(0, 9)).Pause(2500).Send(stream.substr(9)).Close().Chunk(chunk));
        camtest::FakeSocket s(net);
        s.SetSocketInfo("cam", 1, 1, false);
        ASSERT_EQ(0, s.Connect());
        std::vector<std::string> lines;
        int timeOuts = 0;
        char buf[16] = "";
        for (;;) {
            const std::string before = buf;
            const int n = s.ReadToLineEnd(buf, sizeof(buf));
            if (n >= 0) {
                lines.push_back(buf);
                continue;
            }
            if (n == -1) break;
            ++timeOuts;
            EXPECT_EQ(before, buf) << "chunk " << chunk;
        }
        EXPECT_EQ(expected, lines) << "chunk " << chunk;
        EXPECT_EQ(2, timeOuts) << "a 2.5 s pause is two 1 s time-outs; chunk " << chunk;
        EXPECT_EQ(0, s.ReadData(buf, sizeof(buf))) << "closed after the last line";
    }
}
