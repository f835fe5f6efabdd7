// The simulated camera itself where the end-to-end runs cannot tell it
// misbehaves: scenario files and the control interface as a person writes
// them, the fault switches as a client sees them on the wire, and
// authentication (checked with libcurl, not with our own client).
#include <curl/curl.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "tools/camsim/camsim.h"
#include "tools/camsim/digestauth.h"

using namespace camsim;

namespace {

const int kWaitMs = 10000;  // upper bound of every wait; a pass never takes it

int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, (sockaddr*)&a, sizeof(a)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads until the peer closes, or until `until` is in the bytes, or kWaitMs.
std::string ReadSome(int fd, const std::string& until = std::string()) {
    std::string out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (std::chrono::steady_clock::now() < end) {
        if (!until.empty() && out.find(until) != std::string::npos) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0) break;
        out.append(buf, (size_t)n);
    }
    return out;
}

std::string Get(int port, const std::string& target, const std::string& extra = std::string()) {
    int fd = Connect(port);
    if (fd < 0) return std::string();
    std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra + "\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    std::string out = ReadSome(fd);
    close(fd);
    return out;
}

std::string BodyOf(const std::string& raw) {
    size_t p = raw.find("\r\n\r\n");
    return p == std::string::npos ? std::string() : raw.substr(p + 4);
}

const char kBody[] = "state=quiet; all fine here\n";

Response FixedHandler(const Request&, const SimContext&) { return Response::Text(kBody); }

struct Sim {
    explicit Sim(HandlerFn h, Auth auth = Auth::kNone, std::string user = "", std::string pass = "") {
        Config c;
        c.api = "truen";
        c.handler = h;
        c.auth = auth;
        c.user = user;
        c.password = pass;
        sim.reset(new CamSim(c));
        std::string err;
        started = sim->Start(err);
        EXPECT_TRUE(started) << err;
    }
    std::unique_ptr<CamSim> sim;
    bool started = false;
};

}  // namespace

// ---------------------------------------------------------------- scenarios

TEST(CamSimScenario, BadLinesNameTheLineAndTheProblem) {
    struct Case {
        const char* text;
        const char* expect;  // part of the message
    } cases[] = {
        {"at 1 motion on\nat x motion off\n", "line 2: bad time 'x'"},
        {"at -1 motion on\n", "line 1: bad time '-1'"},
        {"motion on\n", "line 1: expected 'at SECONDS"},
        {"at 1\n", "line 1: expected 'at SECONDS WHAT"},
        {"at 1 motion maybe\n", "line 1: expected 'motion on"},
        {"at 1 motion on 101\n", "line 1: bad motion level '101'"},
        {"at 1 motion off 50\n", "line 1: unexpected '50'"},
        {"\n\nat 1 input 0 on\n", "line 3: expected 'input N on|off'"},
        {"at 1 input 2\n", "line 1: expected 'input N on|off'"},
        {"at 1 fault slow on\n", "line 1: expected 'fault NAME on|off'"},
        {"at 1 smoke on\n", "line 1: unknown event 'smoke'"},
        {"at 1 tamper on extra\n", "line 1: unexpected 'extra'"},
        {"at 1e400 motion on\n", "line 1: bad time"},
    };
    for (const Case& c : cases) {
        Scenario sc;
        std::string err;
        EXPECT_FALSE(ParseScenario(c.text, sc, err, "s.txt")) << c.text;
        EXPECT_NE(err.find(std::string("s.txt: ") + c.expect), std::string::npos) << c.text << " -> " << err;
        EXPECT_TRUE(sc.steps.empty());
    }
    Scenario sc;
    std::string err;
    EXPECT_FALSE(LoadScenarioFile("/nonexistent/scenario.txt", sc, err));
    EXPECT_NE(err.find("/nonexistent/scenario.txt"), std::string::npos);
}

// ---------------------------------------------------------------- control

TEST(CamSimControl, AppliesAssignmentsAndRejectsUnknownOnesWhole) {
    Sim s(&FixedHandler);
    std::string r = Get(s.sim->Port(), "/camsim/control?motion=1&level=40&input2=1&tamper=on&fault_garbage=1");
    EXPECT_NE(r.find("200 OK"), std::string::npos) << r;
    EXPECT_NE(r.find("motion=1\nlevel=40\ntamper=1\n"), std::string::npos) << r;
    AlarmState st = s.sim->State();
    EXPECT_TRUE(st.motion);
    EXPECT_EQ(st.motionLevel, 40);
    EXPECT_TRUE(st.Input(2));
    EXPECT_TRUE(st.tamper);
    EXPECT_TRUE(s.sim->GetFault(kFaultGarbage));

    // Control requests are not faulted even with garbage on.
    r = Get(s.sim->Port(), "/camsim/control?motion=0&input9=1");
    EXPECT_NE(r.find("400"), std::string::npos) << r;
    EXPECT_NE(r.find("input9"), std::string::npos) << r;
    EXPECT_TRUE(s.sim->State().motion) << "a rejected control must apply nothing";
    r = Get(s.sim->Port(), "/camsim/control?level=0");
    EXPECT_NE(r.find("400"), std::string::npos) << r;
    r = Get(s.sim->Port(), "/camsim/control?motion=2");
    EXPECT_NE(r.find("400"), std::string::npos) << r;
    r = Get(s.sim->Port(), "/camsim/control?smoke=1");
    EXPECT_NE(r.find("unknown control 'smoke'"), std::string::npos) << r;

    r = Get(s.sim->Port(), "/camsim/control?fault_garbage=0&motion=0");
    EXPECT_FALSE(s.sim->GetFault(kFaultGarbage));
    EXPECT_FALSE(s.sim->State().motion);
    EXPECT_EQ(s.sim->State().motionLevel, 0);
}

// ---------------------------------------------------------------- request

// ---------------------------------------------------------------- faults

TEST(CamSimFaults, EachSwitchAsTheClientSeesIt) {
    Sim s(&FixedHandler, Auth::kDigest);
    const int port = s.sim->Port();
    const std::string clean = Get(port, "/x");
    ASSERT_EQ(BodyOf(clean), kBody);

    struct Case {
        Fault fault;
        std::function<void(const std::string& raw)> check;
    } cases[] = {
        {kFault500, [](const std::string& raw) { EXPECT_EQ(raw.compare(0, 12, "HTTP/1.1 500"), 0) << raw; }},
        {kFault401,
         [](const std::string& raw) {
             EXPECT_EQ(raw.compare(0, 12, "HTTP/1.1 401"), 0) << raw;
             EXPECT_NE(raw.find("WWW-Authenticate: Digest realm=\"camsim\""), std::string::npos) << raw;
         }},
        {kFaultGarbage,
         [](const std::string& raw) {
             std::string body = BodyOf(raw);
             EXPECT_EQ(raw.compare(0, 12, "HTTP/1.1 200"), 0) << raw;
             EXPECT_GE(body.size(), sizeof(kBody) - 1);
             EXPECT_EQ(body.find("state="), std::string::npos);
         }},
        {kFaultCloseMid,
         [](const std::string& raw) {
             EXPECT_NE(raw.find("Content-Length: " + std::to_string(sizeof(kBody) - 1)), std::string::npos) << raw;
             EXPECT_EQ(BodyOf(raw), std::string(kBody).substr(0, (sizeof(kBody) - 1) / 2));
         }},
        {kFaultHugeLength,
         [](const std::string& raw) {
             EXPECT_NE(raw.find("Content-Length: 1000000000000\r\n"), std::string::npos) << raw;
             EXPECT_EQ(BodyOf(raw), kBody);
         }},
        {kFaultRefuse, [](const std::string& raw) { EXPECT_EQ(raw, ""); }},
        {kFaultCloseAtOnce,
         [](const std::string& raw) {
             EXPECT_EQ(raw.compare(0, 12, "HTTP/1.1 200"), 0) << raw;
             EXPECT_NE(raw.find("Connection: close"), std::string::npos) << raw;
             EXPECT_EQ(BodyOf(raw), "");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        s.sim->SetFault(c.fault, true);
        c.check(Get(port, "/x"));
        s.sim->SetFault(c.fault, false);
        EXPECT_EQ(BodyOf(Get(port, "/x")), kBody) << "the switch must turn off cleanly";
    }
}

TEST(CamSimFaults, StopReturnsWithStalledClientsConnected) {
    Sim s(&FixedHandler);
    s.sim->SetFault(kFaultStall, true);
    std::vector<int> fds;
    for (int i = 0; i < 5; ++i) {
        int fd = Connect(s.sim->Port());
        ASSERT_GE(fd, 0);
        std::string req = "GET /x HTTP/1.1\r\nHost: h\r\n\r\n";
        send(fd, req.data(), req.size(), MSG_NOSIGNAL);
        fds.push_back(fd);
    }
    ASSERT_TRUE(s.sim->WaitRequests(5, kWaitMs));
    s.sim->Stop();  // must come back although every client still waits
    for (int fd : fds) {
        EXPECT_EQ(ReadSome(fd), "");
        close(fd);
    }
    EXPECT_EQ(s.sim->Port(), 0);
}

// ---------------------------------------------------------------- authentication

namespace {

size_t Sink(char* p, size_t s, size_t n, void* ud) {
    static_cast<std::string*>(ud)->append(p, s * n);
    return s * n;
}

// Status code of a libcurl GET with the given method and login.
long CurlGet(int port, unsigned long authMask, const std::string& user, const std::string& pass, std::string* body) {
    CURL* h = curl_easy_init();
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/x";
    std::string out;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, authMask);
    curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, pass.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Sink);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &out);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 10L);
    long code = 0;
    if (curl_easy_perform(h) == CURLE_OK) curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(h);
    if (body) *body = out;
    return code;
}

}  // namespace

TEST(CamSimAuth, BasicAndDigestAsACurlClientMeetsThem) {
    struct Case {
        Auth auth;
        unsigned long curlAuth;
        const char* pass;
        long expect;
    } cases[] = {
        {Auth::kBasic, CURLAUTH_BASIC, "s3cret", 200},  {Auth::kBasic, CURLAUTH_BASIC, "wrong", 401},
        {Auth::kDigest, CURLAUTH_DIGEST, "s3cret", 200}, {Auth::kDigest, CURLAUTH_DIGEST, "wrong", 401},
        {Auth::kDigest, CURLAUTH_BASIC, "s3cret", 401},  // a Digest camera refuses Basic
        {Auth::kDigest, CURLAUTH_ANY, "s3cret", 200},    {Auth::kNone, CURLAUTH_BASIC, "whatever", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(AuthName(c.auth)) + " " + c.pass);
        Sim s(&FixedHandler, c.auth, "admin", "s3cret");
        std::string body;
        EXPECT_EQ(CurlGet(s.sim->Port(), c.curlAuth, "admin", c.pass, &body), c.expect);
        if (c.expect == 200) {
            EXPECT_EQ(body, kBody);
        }
    }
    // No user configured: nothing is asked even when the family would.
    Sim open(&FixedHandler, Auth::kDigest);
    EXPECT_EQ(CurlGet(open.sim->Port(), CURLAUTH_NONE, "", "", nullptr), 200);
}

// Each challenge has its own nonce, so clients challenged in the same moment
// never replay each other's counters; a replay is stale, never a refusal.
TEST(CamSimAuth, DigestNoncePerChallengeAndReplayIsStale) {
    camsim::DigestAuth auth("cam");
    auto answer = [](const std::string& challenge, const std::string& nc, const std::string& pass) {
        const std::string nonce = camsim::DigestParams(challenge.substr(7))["nonce"];
        const std::string ha1 = camsim::Md5Hex("admin:cam:" + pass), ha2 = camsim::Md5Hex("GET:/a?b=1");
        return "Digest username=\"admin\", realm=\"cam\", nonce=\"" + nonce + "\", uri=\"/a?b=1\", qop=auth, nc=" +
               nc + ", cnonce=\"c\", response=\"" +
               camsim::Md5Hex(ha1 + ":" + nonce + ":" + nc + ":c:auth:" + ha2) + "\"";
    };
    const std::string first = auth.Challenge(false), second = auth.Challenge(false);
    EXPECT_NE(first, second);
    EXPECT_EQ(auth.Check(answer(first, "00000001", "pw"), "GET", "/a?b=1", "admin", "pw"), camsim::DigestAuth::kOk);
    EXPECT_EQ(auth.Check(answer(second, "00000001", "pw"), "GET", "/a?b=1", "admin", "pw"), camsim::DigestAuth::kOk);
    EXPECT_EQ(auth.Check(answer(first, "00000001", "pw"), "GET", "/a?b=1", "admin", "pw"), camsim::DigestAuth::kStale);
    EXPECT_EQ(auth.Check(answer(first, "00000002", "pw"), "GET", "/a?b=1", "admin", "pw"), camsim::DigestAuth::kOk);
    EXPECT_EQ(auth.Check(answer(first, "00000003", "no"), "GET", "/a?b=1", "admin", "pw"),
              camsim::DigestAuth::kRefused);
    EXPECT_EQ(auth.Check(answer(first, "00000003", "pw"), "GET", "/other", "admin", "pw"),
              camsim::DigestAuth::kRefused);
    EXPECT_NE(auth.Challenge(true).find("stale=TRUE"), std::string::npos);
}
