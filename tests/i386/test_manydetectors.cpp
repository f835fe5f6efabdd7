// A 32-bit recorder with 2,000 detectors: every thread starts, every one
// reaches its camera, the address space keeps room to spare, and all stop.
// Built into the unit tests of 32-bit builds only.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/testsupport.h"

namespace {

const int kDetectors = 2000;

// Accepts every connection and holds it open without a word: each detector
// waits on its request, as with a camera that takes its time.
class SilentPeer {
public:
    SilentPeer() {
        m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        if (bind(m_Fd, (sockaddr*)&a, sizeof(a)) != 0 || listen(m_Fd, 4096) != 0 ||
            getsockname(m_Fd, (sockaddr*)&a, &len) != 0)
            return;
        m_Port = ntohs(a.sin_port);
        m_Thread = std::thread([this] { Loop(); });
    }
    ~SilentPeer() {
        m_Stop = true;
        if (m_Thread.joinable()) m_Thread.join();
        for (int fd : m_Held) close(fd);
        close(m_Fd);
    }
    int Port() const { return m_Port; }
    int Accepted() const { return m_Accepted.load(); }

private:
    void Loop() {
        while (!m_Stop) {
            pollfd p = {m_Fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int fd = accept4(m_Fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            m_Held.push_back(fd);
            ++m_Accepted;
        }
    }
    int m_Fd = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::atomic<int> m_Accepted{0};
    std::vector<int> m_Held;
    std::thread m_Thread;
};

// Bytes of address space mapped (the guest's view under an emulator).
uint64_t MappedBytes() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    uint64_t total = 0;
    while (std::getline(maps, line)) {
        unsigned long long lo = 0, hi = 0;
        if (sscanf(line.c_str(), "%llx-%llx", &lo, &hi) == 2 && hi > lo) total += hi - lo;
    }
    return total;
}

}  // namespace

TEST(ThirtyTwoBit, TwoThousandDetectorsStartReachTheirCamerasAndStop) {
    // Two descriptors a detector (its connection and the peer's end) and some.
    rlimit nofile;
    getrlimit(RLIMIT_NOFILE, &nofile);
    const rlim_t want = 2 * kDetectors + 512;
    if (nofile.rlim_cur < want) {
        nofile.rlim_cur = nofile.rlim_max < want ? nofile.rlim_max : want;
        setrlimit(RLIMIT_NOFILE, &nofile);
    }
    if (nofile.rlim_cur < want) GTEST_SKIP() << "the descriptor limit (" << nofile.rlim_cur << ") is below " << want;

    SilentPeer peer;
    ASSERT_NE(peer.Port(), 0);
    std::vector<std::unique_ptr<CameraRig>> rigs;
    std::vector<std::unique_ptr<CamDetector>> dets;
    int started = 0;
    for (int i = 0; i < kDetectors; ++i) {
        rigs.emplace_back(new CameraRig());
        rigs.back()->med.httpPort = peer.Port();
        rigs.back()->med.camId = i + 1;  // cameras of their own: no detector follows another's poll
        dets.push_back(MakeFor("brickcom", DET_TYPE_MD, rigs.back()->Attr()));
        ASSERT_TRUE(dets.back()) << i;
        if (dets.back()->Start() == 0) ++started;
    }
    EXPECT_EQ(started, kDetectors);
    EXPECT_TRUE(WaitFor([&] { return peer.Accepted() >= kDetectors; }, 180000)) << peer.Accepted();
    const uint64_t mapped = MappedBytes();
    printf("%d detectors: %llu MiB of address space mapped\n", kDetectors, (unsigned long long)(mapped >> 20));
    EXPECT_LT(mapped, 2048ull << 20);  // a 32-bit process has 3-4 GiB: room for the recorder's own
    for (std::unique_ptr<CamDetector>& d : dets) d->Stop();
}
