// The RTSP client against a real RTSP server from the distribution:
// GStreamer's RTSP server (gst_rtsp_server.py beside this file) streaming
// RTP/JPEG whose packets carry an RFC 8285 header extension.
// Session set-up, Basic and Digest logins (and their refusal), packet flow
// and the extension bytes made by a producer that is not ours.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/rtsp/rtpext.h"
#include "host/rtsp/rtspclient.h"
#include "tests/fixtures/testutil.h"

namespace {

const char kPython[] = "/usr/bin/python3";
const char kUser[] = "viewer";
const char kPassword[] = "g5t-pass";
const char kRid[] = "camsim";

// One GStreamer RTSP server process on a free loopback port.
class GstRtspServer {
public:
    ~GstRtspServer() { Stop(); }

    // Empty when listening, else why not.
    std::string Start(const std::string& auth) {
        if (access(kPython, X_OK) != 0) return std::string(kPython) + " is not installed";
        const std::string script = std::string(CAMDET_TEST_DATA) + "/../integration/host/gst_rtsp_server.py";
        m_Port = camtest::FreeLoopbackPort();
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0) return "pipe failed";
        if (pipe2(in, O_CLOEXEC) != 0) return "pipe failed";
        const std::string port = std::to_string(m_Port);
        m_Pid = fork();
        if (m_Pid == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(devnull, 2);
            setpgid(0, 0);
            execl(kPython, kPython, script.c_str(), port.c_str(), auth.c_str(), kUser, kPassword, kRid,
                  (char*)nullptr);
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        m_Stdin = in[1];  // the server ends when this closes
        if (m_Pid < 0) return "fork failed";
        setpgid(m_Pid, m_Pid);
        std::string said;
        const auto t0 = std::chrono::steady_clock::now();
        while (said.find('\n') == std::string::npos && camtest::ElapsedMs(t0) < 20000) {
            struct pollfd p = {out[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char buf[256];
            const ssize_t n = read(out[0], buf, sizeof(buf));
            if (n <= 0) break;
            said.append(buf, (size_t)n);
        }
        close(out[0]);
        if (said.compare(0, 9, "listening") != 0) {
            Stop();
            return "the GStreamer RTSP server did not start (python3-gst-1.0, gir1.2-gst-rtsp-server-1.0 and "
                   "gstreamer1.0-plugins-good are needed): '" + said + "'";
        }
        return std::string();
    }

    void Stop() {
        if (m_Stdin >= 0) close(m_Stdin);
        m_Stdin = -1;
        if (m_Pid > 0) {
            kill(-m_Pid, SIGTERM);
            int status;
            waitpid(m_Pid, &status, 0);
            m_Pid = -1;
        }
    }

    int Port() const { return m_Port; }

private:
    pid_t m_Pid = -1;
    int m_Stdin = -1;
    int m_Port = 0;
};

RTSP_CLIENT_CONF Conf(int port, const std::string& user, const std::string& password) {
    RTSP_CLIENT_CONF c;
    c.host = "127.0.0.1";
    c.port = port;
    c.path = "/cam";
    c.user = user;
    c.password = password;
    c.timeoutSec = 10;
    return c;
}

// The extension of the stream id "camsim" as the fetcher exposes it: the
// one-byte-header profile, two words, element id 1 with six bytes, one byte
// of padding.
const std::string kWantExt = std::string("\xBE\xDE\x00\x02\x15", 5) + kRid + std::string(1, '\0');

class GstRtsp : public ::testing::TestWithParam<const char*> {};

TEST_P(GstRtsp, LoginSetUpAndPacketFlow) {
    GstRtspServer server;
    const std::string why = server.Start(GetParam());
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }

    {
        RtspClient wrong(Conf(server.Port(), kUser, "not-it"));
        EXPECT_EQ(RTSP_ERR_AUTH, wrong.Open());
        EXPECT_EQ(401, wrong.LastStatus());
        RtspClient none(Conf(server.Port(), "", ""));
        EXPECT_EQ(RTSP_ERR_AUTH, none.Open());
    }

    RtspClient client(Conf(server.Port(), kUser, kPassword));
    ASSERT_EQ(RTSP_OK, client.Open()) << client.LastError();
    EXPECT_FALSE(client.SessionId().empty());
    int prevSeq = -1;
    for (int i = 0; i < 30; ++i) {
        const uint8_t* pkt = nullptr;
        size_t len = 0;
        ASSERT_EQ(1, client.NextPacket(pkt, len, 5000)) << client.LastError();
        RTP_PACKET_INFO info;
        ASSERT_EQ(RTP_PARSE_OK, ParseRtpPacket(pkt, len, info));
        EXPECT_EQ(26, info.payloadType);  // JPEG
        ASSERT_TRUE(info.hasExt);
        EXPECT_EQ(kWantExt, std::string(reinterpret_cast<const char*>(pkt) + info.extOffset, info.extLen));
        // Over TCP nothing is lost between two packets of the track.
        if (prevSeq >= 0) {
            EXPECT_EQ((prevSeq + 1) & 0xFFFF, info.seq);
        }
        prevSeq = info.seq;
    }
    client.Close();
}

INSTANTIATE_TEST_SUITE_P(Auth, GstRtsp, ::testing::Values("basic", "digest"));

}  // namespace
