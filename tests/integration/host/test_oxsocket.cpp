// OXSocket against scripted loopback peers: connect failures, the connect's
// bounded wait (on the socket's clock), descriptor hygiene. (Reading
// lines: the StreamReader and HttpParse unit tests.)
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <vector>

#include <gtest/gtest.h>

#include "interface/hostservices.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testutil.h"

using BrellinOwned::OXSocket;
using camtest::ClockMsOf;
using camtest::FakeClock;
using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

int OpenFds() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (readdir(d) != nullptr) ++n;
    closedir(d);
    return n;
}

TEST(OXSocket, ConnectFailures) {
    // The clock stays put, so a connect that ends heard the refusal (moving
    // it at once would race a refusal that comes just after the call).
    FakeClock clock(FakeClock::MANUAL);
    OXSocket refused(clock);
    refused.SetSocketInfo("127.0.0.1", camtest::FreeLoopbackPort(), 2, false);
    std::future<int> rc = std::async(std::launch::async, [&] { return refused.Connect(); });
    const bool ended = rc.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) clock.Advance(2000);
    EXPECT_TRUE(ended) << "a refused connect must not wait for the time-out";
    EXPECT_EQ(-1, rc.get());
    EXPECT_FALSE(refused.IsConnected());

    OXSocket noHost("", 80, 1, false);
    EXPECT_EQ(-1, noHost.Connect());
    OXSocket badPort("127.0.0.1", 70000, 1, false);
    EXPECT_EQ(-1, badPort.Connect());

    char buf[8];
    EXPECT_LT(refused.ReadData(buf, sizeof(buf)), 0);
    EXPECT_LT(refused.ReadToLineEnd(buf, sizeof(buf)), 0);
    EXPECT_EQ(-1, refused.WriteData(buf, 1));
}

TEST(OXSocket, ConnectTimesOutOnAFullBacklog) {
    // A listener that never accepts: once its queue is full the kernel drops
    // further SYNs, so the connect can only end by our time-out.
    const int lfd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(a);
    ASSERT_EQ(0, bind(lfd, reinterpret_cast<struct sockaddr*>(&a), len));
    ASSERT_EQ(0, listen(lfd, 0));
    getsockname(lfd, reinterpret_cast<struct sockaddr*>(&a), &len);
    const int port = ntohs(a.sin_port);
    FakeClock clock(FakeClock::MANUAL);
    std::vector<std::unique_ptr<OXSocket> > fillers;
    bool blocked = false;
    for (int i = 0; i < 8 && !blocked; ++i) {
        fillers.emplace_back(new OXSocket(clock));
        fillers.back()->SetSocketInfo("127.0.0.1", port, 1, false);
        int rc = 0;
        // A connect the kernel queues takes no time on the clock; the one it
        // drops ends by the time-out.
        const int64_t ms = ClockMsOf(clock, [&] { rc = fillers.back()->Connect(); });
        if (rc != 0) {
            EXPECT_EQ(1000, ms);
            blocked = true;
        }
    }
    close(lfd);
    if (!blocked) GTEST_SKIP() << "this kernel accepted every connect into the backlog";
}

TEST(OXSocket, ReconnectAndNoDescriptorLeak) {
    ScriptedPeer peer(PeerScript{PeerStep::Send("hi\n")});
    ASSERT_TRUE(peer.Listening());
    const int before = OpenFds();
    {
        OXSocket s("127.0.0.1", peer.Port(), 5, true);
        for (int i = 0; i < 20; ++i) {
            ASSERT_EQ(0, s.Connect());  // closes the previous connection first
            char buf[8];
            EXPECT_EQ(2, s.ReadToLineEnd(buf, sizeof(buf)));
        }
        OXSocket refused("127.0.0.1", camtest::FreeLoopbackPort(), 1, false);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(-1, refused.Connect());
        s.Disconnect();
        EXPECT_FALSE(s.IsConnected());
    }
    // The peer serves each connection on a thread of its own: every one has
    // to have closed its end before the descriptors are counted.
    for (int c = 0; c < 20; ++c) EXPECT_TRUE(peer.WaitFinished(c, 5000)) << c;
    EXPECT_EQ(20, peer.Connections());
    EXPECT_EQ(before, OpenFds());
}

}  // namespace
