// The recorder's clients against real servers, so that our client and our
// simulator cannot agree on a mistake: OXHttpClient over HTTPS against lighttpd
// with a CA and certificate the test makes, and the RTSP client against
// GStreamer's RTSP server (gst_rtsp_server.py) whose RTP/JPEG packets carry an
// RFC 8285 header extension made by a producer that is not ours.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/media/streamfifo.h"
#include "host/net/recorderservices.h"
#include "host/rtsp/rtpext.h"
#include "host/rtsp/rtspclient.h"
#include "interface/clock.h"
#include "interface/hostservices.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"
#include "tools/camsim/simcert.h"

using BrellinOwned::OXHttpClient;
using camtest::ReadFile;
using camtest::WriteFile;

namespace {

// A server in a process group of its own, its output in the file `log`; its
// stdin is a pipe that closes when it is stopped.
class ServerProcess {
public:
    ~ServerProcess() { Stop(); }

    // Empty once something accepts on every one of ports (bounded), else why not.
    std::string Start(const std::vector<std::string>& argv, const std::string& log, const std::vector<int>& ports) {
        m_Log = log;
        int in[2];
        if (pipe2(in, O_CLOEXEC) != 0) return "pipe failed";
        m_Pid = fork();
        if (m_Pid == 0) {
            // Nothing of the test's stdio may reach the server or its children:
            // ctest waits for those pipes to close.
            const int out = open(m_Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in[0], 0);
            dup2(out, 1);
            dup2(out, 2);
            setpgid(0, 0);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        m_Stdin = in[1];
        if (m_Pid < 0) return "fork failed";
        setpgid(m_Pid, m_Pid);
        const auto t0 = std::chrono::steady_clock::now();
        for (int port : ports) {
            while (!camtest::CanConnect(port)) {
                int status;
                if (waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
                    m_Pid = -1;
                    return argv[0] + " exited: " + ReadFile(m_Log);
                }
                if (camtest::ElapsedMs(t0) > 20000) return argv[0] + " did not start listening";
                usleep(20000);
            }
        }
        return std::string();
    }

    void Stop() {
        if (m_Stdin >= 0) close(m_Stdin);
        m_Stdin = -1;
        if (m_Pid > 0) {
            kill(-m_Pid, SIGTERM);  // the server and the CGI scripts it runs
            int status;
            waitpid(m_Pid, &status, 0);
            kill(-m_Pid, SIGKILL);
            m_Pid = -1;
        }
    }

private:
    pid_t m_Pid = -1;
    int m_Stdin = -1;
    std::string m_Log;
};

const char kRealm[] = "camera";
const char kDigestUser[] = "viewer";
const char kDigestPass[] = "d1g-pass";
const char kBasicUser[] = "admin";
const char kBasicPass[] = "b4s-pass";

// The first of `dirs` that holds `name` with `mode` access ("" when none).
std::string FindIn(std::initializer_list<const char*> dirs, const char* name, int mode) {
    for (const char* d : dirs) {
        const std::string p = std::string(d) + "/" + name;
        if (access(p.c_str(), mode) == 0) return p;
    }
    return std::string();
}

// A lighttpd of its own in a temporary directory, serving the same pages over
// HTTP and, with `tls` (a certificate and its key), over HTTPS.
class Lighttpd {
public:
    ~Lighttpd() { Stop(); }

    // Empty on success, else why it could not start.
    std::string Start(const std::string& binary, const camsim::SimCert& tls) {
        char tmpl[] = "/tmp/camdet-lighttpd-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return "cannot create a temporary directory";
        m_Dir = tmpl;
        for (const char* sub : {"/www", "/www/cgi", "/www/digest", "/www/basic"}) mkdir((m_Dir + sub).c_str(), 0755);
        WriteFiles();
        m_Port = camtest::FreeLoopbackPort();
        WriteFile(m_Dir + "/server.pem", tls.certPem);
        WriteFile(m_Dir + "/server.key", tls.keyPem);
        do m_TlsPort = camtest::FreeLoopbackPort();
        while (m_TlsPort == m_Port);
        WriteConfig();
        const std::string why = m_Process.Start({binary, "-D", "-f", m_Dir + "/lighttpd.conf"}, m_Dir + "/stdout.log",
                                                {m_Port, m_TlsPort});
        return why.empty() ? why : why + ReadFile(m_Dir + "/error.log");
    }

    void Stop() {
        m_Process.Stop();
        if (!m_Dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_Dir, ec);
            m_Dir.clear();
        }
    }

    int TlsPort() const { return m_TlsPort; }
    const std::string& Dir() const { return m_Dir; }

private:
    void WriteFiles() {
        const std::string www = m_Dir + "/www";
        const std::string status = "printf 'Content-Type: text/plain\\r\\n\\r\\nmotion=1\\r\\nlevel=42\\r\\n'\n";
        for (const char* dir : {"/digest/", "/basic/", "/cgi/"}) WriteFile(www + dir + "status.sh", status);
        // An MJPEG stream of two real frames, as a camera sends it, then the end.
        std::string mjpeg;
        for (const char* f : {"no_markers.jpg", "axis_comment.jpg"}) {
            const std::string frame = ReadFile(std::string(CAMDET_TEST_DATA) + "/jpeg/" + f);
            mjpeg += "--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(frame.size()) +
                     "\r\n\r\n" + frame + "\r\n";
        }
        WriteFile(www + "/digest/video.mjpg", mjpeg + "--myboundary--\r\n");
        // The plain backend serves Basic and Digest alike.
        WriteFile(m_Dir + "/users",
                  std::string(kDigestUser) + ":" + kDigestPass + "\n" + kBasicUser + ":" + kBasicPass + "\n");
    }

    void WriteConfig() {
        std::ostringstream c;
        c << "server.modules = (\"mod_auth\", \"mod_authn_file\", \"mod_cgi\")\n"
          << "server.document-root = \"" << m_Dir << "/www\"\n"
          << "server.bind = \"127.0.0.1\"\n"
          << "server.port = " << m_Port << "\n"
          << "server.errorlog = \"" << m_Dir << "/error.log\"\n"
          << "server.stream-response-body = 2\n"
          << "server.feature-flags = (\"auth.delay-invalid-creds\" => \"disable\")\n"
          << "mimetype.assign = (\".mjpg\" => \"multipart/x-mixed-replace; boundary=myboundary\")\n"
          << "cgi.assign = (\".sh\" => \"/bin/sh\")\n"
          << "auth.backend = \"plain\"\n"
          << "auth.backend.plain.userfile = \"" << m_Dir << "/users\"\n"
          << "$HTTP[\"url\"] =~ \"^/basic/\" {\n"
          << "  auth.require = (\"\" => (\"method\" => \"basic\", \"realm\" => \"" << kRealm
          << "\", \"require\" => \"valid-user\"))\n"
          << "}\n"
          << "$HTTP[\"url\"] =~ \"^/digest/\" {\n"
          << "  auth.require = (\"\" => (\"method\" => \"digest\", \"realm\" => \"" << kRealm
          << "\", \"require\" => \"valid-user\"))\n"
          << "}\n";
        // A redirect within the server, and one to plain HTTP.
        c << "server.modules += (\"mod_openssl\", \"mod_redirect\")\n"
          << "url.redirect = (\"^/moved/(.*)$\" => \"/digest/$1\", \"^/toplain/(.*)$\" => \"http://127.0.0.1:"
          << m_Port << "/cgi/$1\")\n"
          << "$SERVER[\"socket\"] == \"127.0.0.1:" << m_TlsPort << "\" {\n"
          << "  ssl.engine = \"enable\"\n"
          << "  ssl.pemfile = \"" << m_Dir << "/server.pem\"\n"
          << "  ssl.privkey = \"" << m_Dir << "/server.key\"\n"
          << "}\n";
        WriteFile(m_Dir + "/lighttpd.conf", c.str());
    }

    ServerProcess m_Process;
    std::string m_Dir;
    int m_Port = 0;
    int m_TlsPort = 0;
};

class HttpsLighttpd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string binary =
            FindIn({"/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/local/sbin", "/usr/local/bin"}, "lighttpd", X_OK);
        const std::string tlsModule =
            FindIn({"/usr/lib/lighttpd", "/usr/lib64/lighttpd", "/usr/local/lib/lighttpd"}, "mod_openssl.so", R_OK);
        if (binary.empty() || tlsModule.empty()) {
            s_SkipReason = "lighttpd or its TLS module is missing (apt-get install lighttpd lighttpd-mod-openssl)";
            return;
        }
        s_Server.reset(new Lighttpd);
        // The server's certificate is signed by a CA of the test's own.
        std::string error;
        if (!camsim::MakeSimCert("127.0.0.1", s_Ca, error) || !camsim::MakeSimCert("127.0.0.1", s_Leaf, error, &s_Ca))
            s_StartError = error;
        else s_StartError = s_Server->Start(binary, s_Leaf);
        if (s_StartError.empty()) WriteFile(CaFile(), s_Ca.certPem);
    }
    static void TearDownTestSuite() { s_Server.reset(); }
    void SetUp() override {
        if (!s_SkipReason.empty()) GTEST_SKIP() << s_SkipReason;
        ASSERT_TRUE(s_StartError.empty()) << s_StartError;
    }
    static int TlsPort() { return s_Server->TlsPort(); }
    static std::string CaFile() { return s_Server->Dir() + "/ca.pem"; }

    static inline std::unique_ptr<Lighttpd> s_Server;
    static inline camsim::SimCert s_Ca, s_Leaf;
    static inline std::string s_SkipReason, s_StartError;
};

// A camera's services set to HTTPS under one certificate policy.
std::unique_ptr<BrellinOwned::RecorderServices> HttpsServices(BrellinOwned::TlsVerify verify, const std::string& pin,
                                                              const std::string& caFile) {
    std::unique_ptr<BrellinOwned::RecorderServices> s(new BrellinOwned::RecorderServices(BrellinOwned::RealClock()));
    BrellinOwned::CamTlsPolicy p;
    p.blHttps = true;
    p.verify = verify;
    p.pin = pin;
    p.caFile = caFile;
    p.camera = "Cam[7] gate";
    s->SetTls(p);
    return s;
}

// Each policy against a server whose certificate a CA of the test's own
// signed: what it accepts, and for a refusal the one line naming the camera
// and the pin of the key the server showed (no credentials); Basic is answered
// only with the flag (else the password would go out in clear). Each client
// asks twice, the second time over the kept connection and login.
TEST_F(HttpsLighttpd, CertificatePolicies) {
    using BrellinOwned::TlsVerify;
    const struct {
        const char* name;
        TlsVerify verify;
        bool caFile;
        std::string pin;
        const char* path;
        const char* user;
        const char* password;
        int status;  // 0: refused before any answer
        bool blAuth = true;
    } cases[] = {
        {"ca, the test's CA", TlsVerify::kCa, true, "", "digest/status.sh", kDigestUser, kDigestPass, 200},
        {"ca, the system's store", TlsVerify::kCa, false, "", "digest/status.sh", kDigestUser, kDigestPass, 0},
        {"pin of its CA's key", TlsVerify::kPin, false, s_Ca.pin, "basic/status.sh", kBasicUser, kBasicPass, 0},
        {"pin, redirected within the server", TlsVerify::kPin, false, s_Leaf.pin, "moved/status.sh", kDigestUser,
         kDigestPass, 200},
        {"none", TlsVerify::kNone, false, "", "digest/status.sh", kDigestUser, kDigestPass, 200},
        {"Digest without the flag", TlsVerify::kNone, false, "", "digest/status.sh", kDigestUser, kDigestPass, 200,
         false},
        {"Basic without the flag", TlsVerify::kNone, false, "", "basic/status.sh", kBasicUser, kBasicPass, 401, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        LogCapture log;
        auto services = HttpsServices(k.verify, k.pin, k.caFile ? CaFile() : std::string());
        auto c = services->NewHttpClient();
        c->Init(k.path, "127.0.0.1", TlsPort(), k.user, k.password, 5, k.blAuth, true, HTTP_VER_DEF, "");
        for (int round = 0; round < 2; ++round) {
            int status = 0;
            if (k.status == 0) {
                EXPECT_LT(c->SendRequest(OX_HTTP_GET, "?"), 0);
                continue;
            }
            ASSERT_EQ(0, c->SendRequest(OX_HTTP_GET, "?"));
            EXPECT_EQ(k.status == 200 ? 0 : -1, c->CheckResponse(status));
            EXPECT_EQ(k.status, status);
            char buf[64];
            if (k.status == 200) {
                EXPECT_EQ(8, c->ReadToLineEnd(buf, sizeof(buf)));
            }
        }
        const std::string text = log.Text();
        const std::string line = "Cam[7] gate: Request to 127.0.0.1:" + std::to_string(TlsPort()) +
                                 "/" + k.path + " failed: certificate not accepted (";
        EXPECT_EQ(k.status == 0, text.find(line) != std::string::npos) << text;
        EXPECT_EQ(k.status == 0, text.find("its pin: " + s_Leaf.pin + "\n") != std::string::npos) << text;
        if (*k.password) {
            EXPECT_EQ(std::string::npos, text.find(k.password)) << text;
        }
    }
}

// A kept connection opened under one policy never serves a client of another.
TEST_F(HttpsLighttpd, KeptConnectionsAreNotSharedAcrossPolicies) {
    auto lax = HttpsServices(BrellinOwned::TlsVerify::kNone, "", "");
    auto strict = HttpsServices(BrellinOwned::TlsVerify::kPin, s_Ca.pin, "");
    auto open = lax->NewHttpClient();
    open->Init("cgi/status.sh", "127.0.0.1", TlsPort(), "", "", 5, false, true, HTTP_VER_1_1, "");
    char buf[64];
    ASSERT_EQ(0, open->SendRequest(OX_HTTP_GET, "?"));
    ASSERT_EQ(8, open->ReadToLineEnd(buf, sizeof(buf)));
    for (int i = 0; i < 3; ++i) {
        auto c = strict->NewHttpClient();
        c->Init("cgi/status.sh", "127.0.0.1", TlsPort(), "", "", 5, false, true, HTTP_VER_1_1, "");
        EXPECT_LT(c->SendRequest(OX_HTTP_GET, "?"), 0);
        ASSERT_EQ(0, open->SendRequest(OX_HTTP_GET, "?"));
        EXPECT_EQ(8, open->ReadToLineEnd(buf, sizeof(buf)));
    }
}

// A redirect from HTTPS to plain HTTP is never followed (one within the server: CertificatePolicies).
TEST_F(HttpsLighttpd, NoRedirectToPlainHttp) {
    auto services = HttpsServices(BrellinOwned::TlsVerify::kPin, s_Leaf.pin, "");
    auto c = services->NewHttpClient();
    c->Init("toplain/status.sh", "127.0.0.1", TlsPort(), "", "", 5, true, true, HTTP_VER_DEF, "");
    int status = 0;
    if (c->SendRequest(OX_HTTP_GET, "?") == 0) c->CheckResponse(status);
    EXPECT_NE(200, status) << "followed a redirect from HTTPS to plain HTTP";
}

// The MJPEG feeder at an https:// address, under the camera's pin.
TEST_F(HttpsLighttpd, MjpegFeederOverHttps) {
    auto services = HttpsServices(BrellinOwned::TlsVerify::kPin, s_Leaf.pin, "");
    StreamFifo fifo;
    StreamFifoFeeder::Source src;
    std::string why;
    ASSERT_TRUE(StreamFifoFeeder::ParseUrl("https://127.0.0.1:" + std::to_string(TlsPort()) + "/digest/video.mjpg",
                                           src, why))
        << why;
    src.user = kDigestUser;
    src.password = kDigestPass;
    StreamFifoFeeder feeder(fifo, src, *services);
    ASSERT_TRUE(feeder.Start());
    for (int i = 0; i < 500 && feeder.Frames() < 2; ++i) usleep(10000);
    feeder.Stop();
    EXPECT_GE(feeder.Frames(), 2u);
}

// ---------------------------------------------------------------- RTSP

const char kPython[] = "/usr/bin/python3";
const char kUser[] = "viewer";
const char kPassword[] = "g5t-pass";
const char kRid[] = "camsim";

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
    ServerProcess server;
    const int port = camtest::FreeLoopbackPort();
    const std::string script = std::string(CAMDET_TEST_DATA) + "/../integration/host/gst_rtsp_server.py";
    const std::string why =
        server.Start({kPython, script, std::to_string(port), GetParam(), kUser, kPassword, kRid}, "/dev/null", {port});
    if (!why.empty()) {
        GTEST_SKIP() << "the GStreamer RTSP server did not start (python3-gst-1.0, gir1.2-gst-rtsp-server-1.0 and "
                        "gstreamer1.0-plugins-good are needed): "
                     << why;
    }

    {
        RtspClient wrong(Conf(port, kUser, "not-it"));
        EXPECT_EQ(RTSP_ERR_AUTH, wrong.Open());
        EXPECT_EQ(401, wrong.LastStatus());
        RtspClient none(Conf(port, "", ""));
        EXPECT_EQ(RTSP_ERR_AUTH, none.Open());
    }

    RtspClient client(Conf(port, kUser, kPassword));
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
