// The simulated camera itself: scenario files, the control interface, the
// fault switches as a client sees them on the wire, authentication (checked
// with libcurl, not with our own client) and streaming responses.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// Reads exactly n bytes unless the peer closes or kWaitMs passes.
std::string ReadN(int fd, size_t n) {
    std::string out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (out.size() < n && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[4096];
        ssize_t got = recv(fd, buf, n - out.size() < sizeof(buf) ? n - out.size() : sizeof(buf), 0);
        if (got <= 0) break;
        out.append(buf, (size_t)got);
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

// Echoes what the handler was handed.
Response EchoHandler(const Request& r, const SimContext&) {
    return Response::Text("method=" + r.method + "\ntarget=" + r.target + "\npath=" + r.path + "\nquery=" + r.query +
                          "\nx-test=" + r.Header("x-test") + "\nparam-b=" + r.Param("b") + "\nbody=" + r.body + "\n");
}

std::atomic<int> g_StreamsEnded{0};

// One part per state change, until the client leaves.
Response StreamHandler(const Request&, const SimContext& c) {
    Response r;
    r.headers.push_back({"Content-Type", "multipart/mixed; boundary=b"});
    r.stream = [](StreamWriter& w) {
        uint64_t seen = w.State().version;
        bool ok = w.Write("--b\r\n\r\nmotion=" + std::string(w.State().motion ? "1" : "0") + "\r\n");
        while (ok && w.WaitChange(seen, 60000)) {
            ok = w.Write("--b\r\n\r\nmotion=" + std::string(w.State().motion ? "1" : "0") + "\r\n");
        }
        g_StreamsEnded++;
    };
    (void)c;
    return r;
}

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

TEST(CamSimScenario, GoodLinesBecomeStepsInTimeOrder) {
    Scenario sc;
    std::string err;
    ASSERT_TRUE(ParseScenario("# comment\n\nat 2 motion off\nat 0.5 motion on 40  # trailing\n"
                              "at 1 input 3 on\nat 1 tamper on\nat 1.5 audio off\nat 3 fault close-mid on\n",
                              sc, err))
        << err;
    ASSERT_EQ(sc.steps.size(), 6u);
    EXPECT_EQ(sc.steps[0].what, ScenarioStep::kMotion);
    EXPECT_TRUE(sc.steps[0].on);
    EXPECT_EQ(sc.steps[0].n, 40);
    EXPECT_EQ(sc.steps[0].line, 4);
    EXPECT_EQ(sc.steps[1].what, ScenarioStep::kInput);
    EXPECT_EQ(sc.steps[1].n, 3);
    EXPECT_EQ(sc.steps[2].what, ScenarioStep::kTamper);  // same time: file order kept
    EXPECT_EQ(sc.steps[3].what, ScenarioStep::kAudio);
    EXPECT_FALSE(sc.steps[3].on);
    EXPECT_EQ(sc.steps[4].what, ScenarioStep::kMotion);
    EXPECT_FALSE(sc.steps[4].on);
    EXPECT_EQ(sc.steps[5].fault, kFaultCloseMid);
    EXPECT_DOUBLE_EQ(sc.Length(), 3.0);
}

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

TEST(CamSimScenario, RunAppliesEveryStep) {
    Sim s(&FixedHandler);
    Scenario sc;
    std::string err;
    ASSERT_TRUE(ParseScenario("at 0 motion on 30\nat 0.05 input 2 on\nat 0.1 audio on\nat 0.1 fault 500 on\n", sc, err));
    s.sim->RunScenario(sc);
    ASSERT_TRUE(s.sim->WaitScenarioDone(kWaitMs));
    AlarmState st = s.sim->State();
    EXPECT_TRUE(st.motion);
    EXPECT_EQ(st.motionLevel, 30);
    EXPECT_TRUE(st.Input(2));
    EXPECT_FALSE(st.Input(1));
    EXPECT_TRUE(st.audio);
    EXPECT_TRUE(s.sim->GetFault(kFault500));
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

TEST(CamSimControl, StateChangesCountAndWake) {
    Sim s(&FixedHandler);
    uint64_t v = s.sim->State().version;
    s.sim->SetMotion(true);
    s.sim->SetMotion(true);  // no change
    EXPECT_EQ(s.sim->State().version, v + 1);
    EXPECT_EQ(s.sim->WaitChange(v, kWaitMs), v + 1);
    EXPECT_FALSE(s.sim->SetInput(0, true));
    EXPECT_FALSE(s.sim->SetInput(5, true));
    EXPECT_TRUE(s.sim->SetInput(4, true));
    EXPECT_EQ(s.sim->State().version, v + 2);
}

// ---------------------------------------------------------------- request

TEST(CamSimRequest, HandlerSeesRawTargetHeadersAndPostBody) {
    Sim s(&EchoHandler);
    int fd = Connect(s.sim->Port());
    ASSERT_GE(fd, 0);
    std::string req =
        "POST //api/param?peripheral.input_pin.pin(1).status&b=x%20y HTTP/1.1\r\nHost: h\r\nX-Test: Yes\r\n"
        "Content-Length: 11\r\nConnection: close\r\n\r\n<soap>1</soap>";
    req.resize(req.size() - 3);  // exactly 11 body bytes
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    std::string body = BodyOf(ReadSome(fd));
    close(fd);
    EXPECT_NE(body.find("method=POST\n"), std::string::npos) << body;
    EXPECT_NE(body.find("target=//api/param?peripheral.input_pin.pin(1).status&b=x%20y\n"), std::string::npos) << body;
    EXPECT_NE(body.find("path=/api/param\n"), std::string::npos) << body;
    EXPECT_NE(body.find("query=peripheral.input_pin.pin(1).status&b=x%20y\n"), std::string::npos) << body;
    EXPECT_NE(body.find("x-test=Yes\n"), std::string::npos) << body;
    EXPECT_NE(body.find("param-b=x%20y\n"), std::string::npos) << body;
    EXPECT_NE(body.find("body=<soap>1</so\n"), std::string::npos) << body;
}

TEST(CamSimRequest, MatchingIgnoresLeadingSlashes) {
    Request r;
    r.path = "/cgi-bin/a.cgi";
    r.query = "x=1&flag&y=";
    EXPECT_TRUE(r.Is("cgi-bin/a.cgi?x=1&flag&y="));
    EXPECT_TRUE(r.Is("/cgi-bin/a.cgi"));
    EXPECT_FALSE(r.Is("/cgi-bin/a.cgi?x=1"));
    EXPECT_FALSE(r.Is("/cgi-bin/b.cgi"));
    EXPECT_TRUE(r.HasParam("flag"));
    EXPECT_TRUE(r.HasParam("y"));
    EXPECT_FALSE(r.HasParam("fla"));
    EXPECT_EQ(r.Param("x"), "1");
    EXPECT_EQ(r.Param("z"), "");
}

TEST(CamSimFamilies, EveryKeyHasOneRowAndTheRowsAnswer) {
    size_t n = 0;
    const Family* t = FamilyTable(n);
    ASSERT_GT(n, 30u);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_NE(t[i].handle, nullptr) << t[i].name;
        ASSERT_NE(t[i].apiKeys[0], nullptr) << t[i].name;
        for (const char* const* k = t[i].apiKeys; *k; ++k) EXPECT_EQ(FindFamily(*k), &t[i]) << *k;
        Request r;
        r.method = "GET";
        r.path = "/no/such/path";
        SimContext c;
        const int status = t[i].handle(r, c).status;
        EXPECT_TRUE(status >= 400 && status < 500) << t[i].name << " answered " << status;
    }
    EXPECT_EQ(FindFamily("no-such-camera"), nullptr);
    Config c;
    c.api = "no-such-camera";
    CamSim sim(c);
    std::string err;
    EXPECT_FALSE(sim.Start(err));
    EXPECT_NE(err.find("no-such-camera"), std::string::npos);
}

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

TEST(CamSimFaults, StallHoldsTheAnswerUntilSwitchedOff) {
    Sim s(&FixedHandler);
    s.sim->SetFault(kFaultStall, true);
    int fd = Connect(s.sim->Port());
    ASSERT_GE(fd, 0);
    const uint64_t before = s.sim->RequestCount();
    std::string req = "GET /x HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(s.sim->WaitRequests(before + 1, kWaitMs)) << "the request must have been read";
    char c;
    EXPECT_EQ(recv(fd, &c, 1, MSG_DONTWAIT), -1) << "nothing may be answered while stalled";
    s.sim->SetFault(kFaultStall, false);
    EXPECT_EQ(BodyOf(ReadSome(fd)), kBody);
    close(fd);
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

// ---------------------------------------------------------------- streams

TEST(CamSimStream, PartsFollowStateAndEndWhenTheClientLeaves) {
    g_StreamsEnded = 0;
    Sim s(&StreamHandler);
    int fd = Connect(s.sim->Port());
    ASSERT_GE(fd, 0);
    std::string req = "GET /stream HTTP/1.1\r\nHost: h\r\n\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    std::string got = ReadSome(fd, "motion=0\r\n");
    EXPECT_EQ(got.compare(0, 15, "HTTP/1.0 200 OK"), 0) << got;
    EXPECT_EQ(got.find("Content-Length"), std::string::npos) << got;
    EXPECT_EQ(got.find("chunked"), std::string::npos) << got;
    s.sim->SetMotion(true);
    got = ReadSome(fd, "motion=1\r\n");
    EXPECT_NE(got.find("--b\r\n\r\nmotion=1\r\n"), std::string::npos) << got;

    // Garbage replaces whole writes.
    s.sim->SetFault(kFaultGarbage, true);
    s.sim->SetMotion(false);
    got = ReadN(fd, 64);
    EXPECT_EQ(got.size(), 64u);
    EXPECT_EQ(got.find("motion="), std::string::npos);
    close(fd);
    while (g_StreamsEnded.load() == 0) s.sim->WaitChange(0, 10);
    EXPECT_EQ(g_StreamsEnded.load(), 1);
}

TEST(CamSimStream, CloseMidCutsAPartAndEndsTheStream) {
    g_StreamsEnded = 0;
    Sim s(&StreamHandler);
    int fd = Connect(s.sim->Port());
    ASSERT_GE(fd, 0);
    std::string req = "GET /stream HTTP/1.1\r\nHost: h\r\n\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    ASSERT_NE(ReadSome(fd, "motion=0\r\n").find("motion=0\r\n"), std::string::npos);
    s.sim->SetFault(kFaultCloseMid, true);
    s.sim->SetMotion(true);
    std::string rest = ReadSome(fd);  // returns on close
    const std::string part = "--b\r\n\r\nmotion=1\r\n";
    EXPECT_EQ(rest, part.substr(0, part.size() / 2));
    close(fd);
    while (g_StreamsEnded.load() == 0) s.sim->WaitChange(0, 10);
}

// Close-at-once ends a stream with its head; short-records sends the
// records of a record family one byte short.
TEST(CamSimStream, CloseAtOnceAndShortRecords) {
    g_StreamsEnded = 0;
    Sim s(&StreamHandler);
    s.sim->SetFault(kFaultCloseAtOnce, true);
    const std::string raw = Get(s.sim->Port(), "/stream");
    EXPECT_NE(raw.find("multipart/mixed; boundary=b"), std::string::npos) << raw;
    EXPECT_EQ(BodyOf(raw), "");

    Config cfg;
    cfg.api = "everfocus";
    CamSim ever(cfg);
    std::string error;
    ASSERT_TRUE(ever.Start(error)) << error;
    ever.SetFault(kFaultShortRecords, true);
    int fd = Connect(ever.Port());
    ASSERT_GE(fd, 0);
    const std::string req = "GET /PSIA/Custom/Everfocus/events HTTP/1.1\r\nHost: h\r\n\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    std::string got = ReadSome(fd, "\r\n\r\n");
    const size_t body = got.find("\r\n\r\n") + 4;
    got += ReadN(fd, body + 307 - std::min(got.size(), body + 307));
    ever.SetMotion(true);  // written at once
    got += ReadN(fd, 307);
    ASSERT_GE(got.size(), body + 2 * 307);
    // The second record starts 307 bytes in: its motion byte 56 is there.
    EXPECT_EQ(1, got[body + 307 + 56]);
    close(fd);
}

TEST(CamSimStream, StopEndsOpenStreams) {
    g_StreamsEnded = 0;
    Sim s(&StreamHandler);
    std::vector<int> fds;
    for (int i = 0; i < 3; ++i) {
        int fd = Connect(s.sim->Port());
        ASSERT_GE(fd, 0);
        std::string req = "GET /stream HTTP/1.1\r\nHost: h\r\n\r\n";
        send(fd, req.data(), req.size(), MSG_NOSIGNAL);
        ReadSome(fd, "motion=0\r\n");
        fds.push_back(fd);
    }
    s.sim->SetFault(kFaultStall, true);
    s.sim->SetMotion(true);  // producers now block in Write
    s.sim->Stop();
    EXPECT_EQ(g_StreamsEnded.load(), 3);
    for (int fd : fds) close(fd);
}

namespace {

int ConnectTo(const char* address, int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    inet_pton(AF_INET, address, &a.sin_addr);
    if (connect(fd, (sockaddr*)&a, sizeof(a)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[(size_t)i] = (char)(v >> (8 * i));
    return s;
}

}  // namespace

// The ACTi event connection: a wrong login is answered with a non-zero word
// and closed; a good one gets 0, then a motion header (with or without its
// payload) twice a second while motion is on.
TEST(CamSimRawPort, ActiLoginAndEventHeaders) {
    Config cfg;
    cfg.api = "acti";
    cfg.user = "admin";
    cfg.password = "pw";
    CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ASSERT_GT(sim.RawPort(), 0);
    ASSERT_NE(sim.RawPort(), 6001);  // tests take any free port

    auto login = [](const std::string& user, const std::string& pw) {
        std::string p(128, '\0');
        p.replace(0, user.size(), user);
        p.replace(32, 4, Le32(1));
        p.replace(64, pw.size(), pw);
        return p;
    };
    int fd = Connect(sim.RawPort());
    ASSERT_GE(fd, 0);
    const std::string bad = login("admin", "nope");
    send(fd, bad.data(), bad.size(), MSG_NOSIGNAL);
    EXPECT_EQ(Le32(1), ReadN(fd, 128).substr(0, 4));
    EXPECT_EQ("", ReadSome(fd));  // closed
    close(fd);

    fd = Connect(sim.RawPort());
    ASSERT_GE(fd, 0);
    const std::string good = login("admin", "pw");
    // Close-at-once: the login is answered, then the connection ends.
    sim.SetFault(kFaultCloseAtOnce, true);
    send(fd, good.data(), good.size(), MSG_NOSIGNAL);
    EXPECT_EQ(std::string(128, '\0'), ReadN(fd, 128));
    EXPECT_EQ("", ReadSome(fd));
    close(fd);
    sim.SetFault(kFaultCloseAtOnce, false);

    fd = Connect(sim.RawPort());
    ASSERT_GE(fd, 0);
    send(fd, good.data(), good.size(), MSG_NOSIGNAL);
    EXPECT_EQ(std::string(128, '\0'), ReadN(fd, 128));
    sim.SetMotion(true);
    const std::string first = ReadN(fd, 12);
    EXPECT_EQ(Le32(0x10039), first.substr(4, 4));
    const std::string second = ReadN(fd, 12);
    EXPECT_EQ(Le32(0x10039), second.substr(4, 4));
    // One of the two carries 16 payload bytes.
    EXPECT_TRUE(first.substr(8, 4) == Le32(16) || second.substr(8, 4) == Le32(16));
    close(fd);
    sim.Stop();
}

// LevelOne GR2's region levels come from the fixed port 19999: a simulator
// on an address of its own can use it without meeting another; the refuse
// fault closes the connection before the line.
TEST(CamSimRawPort, FixedPortOnAnAddressOfItsOwn) {
    Config cfg;
    cfg.api = "level1gr2";
    cfg.rawPort = -1;
    cfg.address = "127.0.83." + std::to_string(2 + getpid() % 250);
    CamSim sim(cfg);
    std::string error;
    if (!sim.Start(error)) GTEST_SKIP() << error;  // another run holds this address
    EXPECT_EQ(19999, sim.RawPort());
    sim.SetMotion(true, 42);
    int fd = ConnectTo(cfg.address.c_str(), 19999);
    ASSERT_GE(fd, 0);
    EXPECT_EQ("R1=420,R2=0,R3=0\n", ReadSome(fd));
    close(fd);
    sim.SetFault(kFaultRefuse, true);
    fd = ConnectTo(cfg.address.c_str(), 19999);
    ASSERT_GE(fd, 0);
    EXPECT_EQ("", ReadSome(fd));
    close(fd);

    Config bad = cfg;
    bad.address = "10.0.0.1";
    CamSim other(bad);
    EXPECT_FALSE(other.Start(error));
    EXPECT_NE(std::string::npos, error.find("loopback")) << error;
}
