// A camera's health over the scripted network: what each client's exchange
// makes of the camera's state, how clients of one camera add up, and the
// login ration measured on the fake clock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/net/healthservices.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/fakenet.h"
#include "tests/fixtures/testsupport.h"

using BrellinOwned::CAM_HEALTH_REPORT;
using BrellinOwned::CamHealthName;
using camtest::FakeConn;

namespace {

int StateOf(BrellinOwned::HealthServices& s) { return s.Health()->Get().state; }

// One exchange of a client with the camera's login.
int Exchange(BrellinOwned::CamHttpClient& c) {
    if (c.SendRequest(OX_HTTP_GET, std::string()) != 0) return -1;
    int status = 0;
    c.CheckResponse(status);
    return status;
}

TEST(CameraHealth, EachAnswerGivesTheCamerasState) {
    struct {
        const char* name;
        bool socket;
        FakeConn conn;
        int state;
        const char* says;  // in the error text
    } rows[] = {
        {"HTTP 200", false, FakeConn().Send("ok"), BrellinOwned::CAM_HEALTH_OK, ""},
        {"connect refused", false, FakeConn().Refused(), BrellinOwned::CAM_HEALTH_UNREACHABLE,
         "no answer from 127.0.0.1:8080/cgi/a.cgi"},
        {"HTTP 401", false, FakeConn().Status(401), BrellinOwned::CAM_HEALTH_UNAUTHORIZED, "login refused (HTTP 401)"},
        {"HTTP 500", false, FakeConn().Status(500), BrellinOwned::CAM_HEALTH_ERROR, "HTTP 500 from 127.0.0.1:8080"},
        {"socket refused", true, FakeConn().Refused(), BrellinOwned::CAM_HEALTH_UNREACHABLE,
         "cannot connect to 127.0.0.1:8080"},
        {"socket stream", true, FakeConn().Send("ALARM=1\r\n"), BrellinOwned::CAM_HEALTH_OK, ""},
        {"socket HTTP 401", true, FakeConn().Send("HTTP/1.1 401 Unauthorized\r\n\r\n"),
         BrellinOwned::CAM_HEALTH_UNAUTHORIZED, "HTTP 401"},
        {"socket HTTP 503", true, FakeConn().Send("HTTP/1.0 503 Busy\r\n\r\n"), BrellinOwned::CAM_HEALTH_ERROR,
         "HTTP 503"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        camtest::FakeClock clock;
        camtest::FakeNet net(clock);
        BrellinOwned::HealthServices services(net);
        std::vector<CAM_HEALTH_REPORT> told;
        services.Health()->SetListener([&](const CAM_HEALTH_REPORT& rep) { told.push_back(rep); });
        EXPECT_EQ(StateOf(services), BrellinOwned::CAM_HEALTH_CONNECTING);
        net.Add(r.conn);
        if (r.socket) {
            std::unique_ptr<BrellinOwned::CamSocket> s = services.NewSocket();
            s->SetSocketInfo("127.0.0.1", 8080, 5, false);
            char buf[256];
            if (s->Connect() == 0) s->ReadToLineEnd(buf, sizeof(buf));
        } else {
            std::unique_ptr<BrellinOwned::CamHttpClient> c = services.NewHttpClient();
            // The query carries a login on some cameras: never in a health text.
            c->Init("/cgi/a.cgi?user=admin&pwd=Secret9", "127.0.0.1", 8080, "admin", "Secret9", 5, true, true,
                    HTTP_VER_DEF, "");
            Exchange(*c);
        }
        const CAM_HEALTH_REPORT rep = services.Health()->Get();
        EXPECT_STREQ(CamHealthName(rep.state), CamHealthName(r.state));
        EXPECT_NE(rep.error.find(r.says), std::string::npos) << rep.error;
        EXPECT_EQ(rep.error.find("Secret9"), std::string::npos) << rep.error;
        ASSERT_EQ(told.size(), 1u);  // one change, told once
        EXPECT_EQ(told[0].state, r.state);
    }
}

// A polled camera's answers through its real detector: answers its rules
// cannot read (noise, a login page) twice in a row are error, one among good
// ones changes nothing, and the next answer read is ok. An answer is judged
// before the camera can be ok: a camera answering noise is never ok first.
TEST(CameraHealth, AnswersTheRulesCannotReadAreError) {
    const std::string quiet = "GIS_MOTION1=0\n", motion = "GIS_MOTION1=1\n", http500 = "500";
    const std::string noise("\x93\x07zq#\0\xff<a=\x01\n", 12);
    const std::string page = "<html><head><title>Login</title></head><body><form action=login.cgi></form></body></html>";
    using namespace BrellinOwned;
    const char* unread = "answers from 10.0.0.7:80/httpapi/GetState cannot be read";
    const char* failed = "HTTP 500 from 10.0.0.7:80/httpapi/GetState";
    struct {
        const char* name;
        std::vector<std::string> answers;
        std::vector<int> told;
        const char* firstError;  // null: none told
    } rows[] = {
        {"noise twice, then a quiet answer", {quiet, noise, noise, quiet},
         {CAM_HEALTH_OK, CAM_HEALTH_ERROR, CAM_HEALTH_OK}, unread},
        {"one odd answer among good ones", {quiet, page, motion, noise, quiet}, {CAM_HEALTH_OK}, nullptr},
        {"a login page from the start", {page, page, page, motion}, {CAM_HEALTH_ERROR, CAM_HEALTH_OK}, unread},
        {"an HTTP error, then noise", {quiet, http500, noise, noise}, {CAM_HEALTH_OK, CAM_HEALTH_ERROR}, failed},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        camtest::FakeClock clock;
        camtest::FakeNet net(clock);
        BrellinOwned::HealthServices services(net);
        std::mutex mu;
        std::vector<int> told;
        std::vector<std::string> errors;
        services.Health()->SetListener([&](const CAM_HEALTH_REPORT& rep) {
            std::lock_guard<std::mutex> g(mu);
            told.push_back(rep.state);
            if (rep.state != CAM_HEALTH_OK) errors.push_back(rep.error);
        });
        for (const std::string& a : r.answers) net.Add(a == http500 ? FakeConn().Status(500) : FakeConn().Send(a));
        CameraRig rig;
        rig.med.host = "10.0.0.7";
        rig.api.SetServices(&services);
        std::unique_ptr<CamDetector> det = MakeFor("truen", DET_TYPE_MD, rig.Attr());
        ASSERT_TRUE(det);
        ASSERT_EQ(0, det->Start());
        // Past the script the camera refuses: unreachable, after every answer was judged.
        auto told_ = [&] {
            std::lock_guard<std::mutex> g(mu);
            return told;
        };
        EXPECT_TRUE(WaitFor([&] { return told_().size() > r.told.size(); }));
        det->Stop();
        std::vector<int> got = told_();
        ASSERT_GT(got.size(), r.told.size());
        EXPECT_EQ(got.back(), CAM_HEALTH_UNREACHABLE);
        got.pop_back();
        EXPECT_EQ(got, r.told);
        std::lock_guard<std::mutex> g(mu);
        errors.pop_back();  // the refusal past the script
        if (r.firstError) {
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(errors.front(), r.firstError);
        } else {
            EXPECT_TRUE(errors.empty()) << errors.front();
        }
    }
}

// Two detectors of one camera: the camera is ok only while both are, the
// latest failure names it, and an answer at an address clears what another
// client said about reaching it. (An accepted login clearing the other's
// refusal: the ration test.)
TEST(CameraHealth, ClientsOfOneCameraAddUp) {
    camtest::FakeClock clock;
    camtest::FakeNet net(clock);
    BrellinOwned::HealthServices services(net);
    std::vector<int> told;
    services.Health()->SetListener([&](const CAM_HEALTH_REPORT& rep) { told.push_back(rep.state); });
    std::unique_ptr<BrellinOwned::CamHttpClient> md = services.NewHttpClient(), di = services.NewHttpClient();
    md->Init("/md", "10.0.0.1", 80, "u", "p", 5, true, true, HTTP_VER_DEF, "");
    di->Init("/di", "10.0.0.1", 80, "u", "p", 5, true, true, HTTP_VER_DEF, "");
    for (int s : {200, 500, 200}) net.Add(FakeConn().Status(s));
    Exchange(*md);
    Exchange(*di);
    Exchange(*md);  // md is fine, di still answers 500: error
    net.Add(FakeConn().Refused());
    Exchange(*md);
    net.Add(FakeConn().Status(200));
    Exchange(*di);  // the camera answers at that address again
    using namespace BrellinOwned;
    EXPECT_EQ(told, (std::vector<int>{CAM_HEALTH_OK, CAM_HEALTH_ERROR, CAM_HEALTH_UNREACHABLE, CAM_HEALTH_OK}));
}

// A wrong password: two detectors polling every second for ten minutes on
// the fake clock reach the camera with at most 3 logins in any 5 minutes;
// once the camera takes the login, every request goes out again.
TEST(CameraHealth, RefusedLoginsAreRationedPerCamera) {
    camtest::FakeClock clock;
    camtest::FakeNet net(clock);
    BrellinOwned::LOGIN_RATION ration;  // 3 in 300 s
    BrellinOwned::HealthServices services(net, ration);
    std::unique_ptr<BrellinOwned::CamHttpClient> a = services.NewHttpClient(), b = services.NewHttpClient();
    a->Init("/a", "10.0.0.1", 80, "u", "wrong", 5, true, true, HTTP_VER_DEF, "");
    b->Init("/b", "10.0.0.1", 80, "u", "wrong", 5, true, true, HTTP_VER_DEF, "");
    // One refusal queued whenever the camera has none left to give.
    auto exchange = [&](BrellinOwned::CamHttpClient& c) {
        if (net.Left() == 0) net.Add(FakeConn().Status(401));
        return Exchange(c);
    };
    const int64_t t0 = clock.NowMs();
    for (int sec = 0; sec < 600; ++sec) {
        exchange(*a);
        exchange(*b);
        EXPECT_EQ(StateOf(services), BrellinOwned::CAM_HEALTH_UNAUTHORIZED);
        clock.Advance(1000);
    }
    std::vector<int64_t> at;
    for (const camtest::FakeRequest& r : net.Requests()) at.push_back(r.atMs - t0);
    ASSERT_GE(at.size(), 4u);  // the ration does come back
    for (size_t i = 0; i + 3 < at.size(); ++i) EXPECT_GE(at[i + 3] - at[i], 300 * 1000) << i;
    EXPECT_GT(services.Health()->LoginsHeldBack(), 1000u);

    // The password is put right at the camera: the next login the ration
    // lets out is taken, and from then on nothing is held back.
    clock.Advance(300 * 1000);
    while (net.Left() > 0) Exchange(*a);  // a refusal still queued
    clock.Advance(300 * 1000);
    for (int i = 0; i < 6; ++i) net.Add(FakeConn().Status(200));
    EXPECT_EQ(Exchange(*a), 200);
    EXPECT_EQ(StateOf(services), BrellinOwned::CAM_HEALTH_OK);
    const uint64_t held = services.Health()->LoginsHeldBack();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Exchange(i % 2 ? *a : *b), 200);
    EXPECT_EQ(services.Health()->LoginsHeldBack(), held);
}

// Detectors that start together on a camera that refuses the login: the
// first login is waited for, and only the ration's reach the camera.
TEST(CameraHealth, DetectorsStartingTogetherSpendNoMoreThanTheRation) {
    camtest::FakeClock clock;
    camtest::FakeNet net(clock);
    BrellinOwned::HealthServices services(net);
    for (int i = 0; i < 10; ++i) net.Add(FakeConn().Status(401));
    std::vector<std::thread> threads;
    std::atomic<int> failed{0};
    for (int i = 0; i < 6; ++i) {
        threads.emplace_back([&] {
            std::unique_ptr<BrellinOwned::CamHttpClient> c = services.NewHttpClient();
            c->Init("/x", "10.0.0.1", 80, "u", "wrong", 5, true, true, HTTP_VER_DEF, "");
            if (Exchange(*c) != 401) failed++;
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(net.Requests().size(), 3u);
    EXPECT_EQ(failed.load(), 3);  // held back without the network
    EXPECT_EQ(StateOf(services), BrellinOwned::CAM_HEALTH_UNAUTHORIZED);
}

}  // namespace
