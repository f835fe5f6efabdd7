// The status page in a real browser: headless Chromium (driven over its
// DevTools pipe) loads the page of camdet-monitor --config --http, the test
// reads the rendered DOM, changes simulated cameras and sees the page follow
// without a reload; with 60 cameras (one shard of a file of 120) it checks
// the order, failing cameras first, and the filter box. It keeps a screenshot
// (build/status-page-60.png; also at $CAMDET_SCREENSHOT_OUT when set, which is
// how the one in docs/ is made).
#include <stdlib.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <poll.h>

#include "host/onvif/onvifsoap.h"
#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/fleet.h"
#include "tools/monitor/shard.h"

using camtest::MonitorProcess;

namespace {

const int kWaitMs = 20000;

// Headless Chromium with --remote-debugging-pipe: commands go to its fd 3,
// answers come from its fd 4, each a JSON text ended by a NUL byte.
class Browser {
public:
    Browser() {
        int toChrome[2], fromChrome[2];
        if (pipe(toChrome) != 0 || pipe(fromChrome) != 0) return;
        m_Profile = camtest::TempPath("chromium-profile");
        m_Proc.reset(new camtest::Child(
            {"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync", "--hide-scrollbars",
             "--user-data-dir=" + m_Profile, "--remote-debugging-pipe", "--window-size=1280,720", "about:blank"},
            "/dev/null", false, -1, {{toChrome[0], 3}, {fromChrome[1], 4}}));
        close(toChrome[0]);
        close(fromChrome[1]);
        m_Out = toChrome[1];
        m_In = fromChrome[0];
    }
    ~Browser() {
        if (m_Proc && m_Proc->Running()) Call("Browser.close", Json::Value(Json::objectValue), false);
        m_Proc.reset();
        if (m_Out >= 0) close(m_Out);
        if (m_In >= 0) close(m_In);
        if (!m_Profile.empty()) system(("rm -rf '" + m_Profile + "'").c_str());
    }

    // Sends a command (to the attached page when `onPage`) and returns its
    // "result"; a null value on error or after kWaitMs without an answer.
    Json::Value Call(const std::string& method, const Json::Value& params, bool onPage = true) {
        Json::Value msg;
        const int id = ++m_Id;
        msg["id"] = id;
        msg["method"] = method;
        msg["params"] = params;
        if (onPage && !m_Session.empty()) msg["sessionId"] = m_Session;
        Json::StreamWriterBuilder w;
        w["indentation"] = "";
        const std::string text = Json::writeString(w, msg);
        if (write(m_Out, text.c_str(), text.size() + 1) != (ssize_t)text.size() + 1) return Json::Value();
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (std::chrono::steady_clock::now() < end) {
            size_t nul;
            while ((nul = m_Buf.find('\0')) != std::string::npos) {
                Json::Value v = camtest::ParseJson(m_Buf.substr(0, nul));
                m_Buf.erase(0, nul + 1);
                if (v["id"].isInt() && v["id"].asInt() == id) return v.isMember("error") ? Json::Value() : v["result"];
            }
            struct pollfd p = {m_In, POLLIN, 0};
            if (poll(&p, 1, 500) <= 0) continue;
            char buf[65536];
            ssize_t n = read(m_In, buf, sizeof(buf));
            if (n <= 0) return Json::Value();
            m_Buf.append(buf, (size_t)n);
        }
        return Json::Value();
    }

    // Opens url in a new tab, attaches to it and waits for the page's event stream to be live.
    bool Open(const std::string& url) {
        Json::Value t = Call("Target.createTarget", Params({{"url", url}}), false);
        if (!t.isObject()) return false;
        Json::Value s = Call("Target.attachToTarget", Params({{"targetId", t["targetId"]}, {"flatten", true}}), false);
        m_Session = s.isObject() ? s["sessionId"].asString() : std::string();
        return !m_Session.empty() && WaitEval("document.getElementById('live').dataset.state", "live");
    }

    // The value of a JavaScript expression in the page, as a string.
    std::string Eval(const std::string& expr) {
        Json::Value r = Call("Runtime.evaluate", Params({{"expression", expr}, {"returnByValue", true}}));
        const Json::Value& v = r["result"]["value"];
        if (v.isString()) return v.asString();
        if (v.isNull()) return "null";
        Json::StreamWriterBuilder w;
        w["indentation"] = "";
        return Json::writeString(w, v);
    }

    bool WaitEval(const std::string& expr, const std::string& want) {
        return camtest::Eventually(kWaitMs, [&] { return Eval(expr) == want; });
    }

    std::string Screenshot() {
        Json::Value r = Call("Page.captureScreenshot", Params({{"format", "png"}}));
        std::string png;
        if (r.isObject()) OnvifSoap::Base64Decode(r["data"].asString(), png);
        return png;
    }

    // Types into the focused element, as a person does.
    void Type(const std::string& text) { Call("Input.insertText", Params({{"text", text}})); }

private:
    static Json::Value Params(std::initializer_list<std::pair<const char*, Json::Value> > fields) {
        Json::Value p(Json::objectValue);
        for (const auto& f : fields) p[f.first] = f.second;
        return p;
    }

    std::unique_ptr<camtest::Child> m_Proc;
    int m_Out = -1, m_In = -1, m_Id = 0;
    std::string m_Buf, m_Session, m_Profile;
};

// The names of the rows in page order (only the visible ones when asked).
const std::string kRowNames = "Array.from(document.querySelectorAll('#rows tr')).map(r => r.id.slice(4)).join(' ')";
const std::string kShownNames =
    "Array.from(document.querySelectorAll('#rows tr')).filter(r => !r.hidden).map(r => r.id.slice(4)).join(' ')";

// camdet-monitor with `args` and its status page on a free port, stderr in
// `errPath`; true once the browser shows the page live.
bool OpenPage(Browser& b, std::unique_ptr<MonitorProcess>& mon, std::vector<std::string> args,
              const std::string& errPath) {
    const std::string port = std::to_string(camtest::FreeLoopbackPort());
    args.insert(args.begin(), {"--http", "127.0.0.1:" + port});
    mon.reset(new MonitorProcess(args, errPath));
    return camtest::WaitFileHas(errPath, "status page on", kWaitMs) && b.Open("http://127.0.0.1:" + port + "/");
}

void KeepScreenshot(Browser& b, const std::string& name) {
    const std::string png = b.Screenshot();
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string("\x89PNG", 4), png.substr(0, 4));
    camtest::WriteFile(std::string(CAMDET_BINARY_DIR) + "/" + name, png);
    if (const char* out = getenv("CAMDET_SCREENSHOT_OUT")) camtest::WriteFile(out, png);
}

// One shard of a file of 120 cameras runs 60 of them: the page says so, puts
// every camera that is not "ok" first and the rest by name (numbers counted
// as numbers), and the filter box keeps the rows that hold every word typed.
// The library's lines go to stderr (--log -), and health is shown all the same.
// Alarms show as they come, on their own camera's detectors only; a camera
// that stops answering has its detectors unknown.
TEST(StatusPage, SixtyCamerasFailingFirstAndFiltered) {
    std::vector<std::string> mine, others;
    for (int i = 1; mine.size() < 60 || others.size() < 60; ++i) {
        const std::string name = "cam-" + std::to_string(i);
        std::vector<std::string>& list = ShardOf(name, 2) == 1 ? mine : others;
        if (list.size() < 60) list.push_back(name);
    }
    camsim::FleetOptions fo;
    fo.rows = {{"truen", 60}};
    fo.user = "admin";
    fo.password = "page60-Pw";
    camsim::Fleet sims;
    std::string err;
    ASSERT_TRUE(sims.Start(fo, err)) << err;
    // The file lists the cameras highest number first, the other shard's in between.
    std::string text = "cameras:\n";
    for (size_t i = 60; i-- > 0;) {
        text += "  " + mine[i] + ":\n    api: truen\n    port: " + std::to_string(sims.At(i).Port()) +
                "\n    user: admin\n    password: page60-Pw\n    kinds: " +
                (i ? "[md]\n" : "[md, di]\n    di-count: 2\n");
        text += "  " + others[i] + ":\n    api: truen\n    port: 1\n";
    }
    const std::string config = camtest::TempPath("page60.yaml");
    camtest::WriteFile(config, text);
    const std::string monErr = camtest::TempPath("page60-monitor.err");
    std::unique_ptr<MonitorProcess> mon;
    Browser b;
    ASSERT_TRUE(OpenPage(b, mon, {"--config", config, "--shard", "1/2", "--log", "-"}, monErr));
    EXPECT_EQ("60", b.Eval("String(document.querySelectorAll('#rows tr').length)"));
    EXPECT_EQ("shard 1 of 2, 120 cameras in the file",
              b.Eval("document.getElementById('scope').innerText.replace(/\\s+/g, ' ').trim()"));
    // "mine" is in name order already: cam-N by N.
    auto join = [](const std::vector<std::string>& v) {
        std::string s;
        for (const std::string& n : v) s += (s.empty() ? "" : " ") + n;
        return s;
    };
    ASSERT_TRUE(b.WaitEval("String(document.querySelectorAll('#rows .state[data-state=\"ok\"]').length)", "60"))
        << b.Eval(kRowNames);
    EXPECT_EQ(join(mine), b.Eval(kRowNames));
    b.Eval("window.__probe = 'same page'");  // a marker that a reload would wipe out

    // Three cameras stop answering: they come first, by name among themselves.
    const size_t failing[] = {47, 3, 22};
    for (size_t i : failing) sims.At(i).SetFault(camsim::kFaultRefuse, true);
    std::vector<std::string> want{mine[3], mine[22], mine[47]};
    for (size_t i = 0; i < mine.size(); ++i) {
        if (i != 3 && i != 22 && i != 47) want.push_back(mine[i]);
    }
    EXPECT_TRUE(b.WaitEval(kRowNames, join(want))) << b.Eval(kRowNames);
    EXPECT_NE(std::string::npos, camtest::ReadFile(monErr).find("Request to 127.0.0.1:"));  // the library's line
    // A detector's data: det(camera's index, "md" or "di-1", "trig" or "level").
    auto det = [&](size_t i, const std::string& id, const std::string& field) {
        return "document.getElementById('det-" + mine[i] + "-" + id + "').dataset." + field;
    };
    EXPECT_TRUE(b.WaitEval(det(3, "md", "trig"), "unknown"));
    sims.At(0).SetMotion(true, 100);
    sims.At(0).SetInput(2, true);
    EXPECT_TRUE(b.WaitEval(det(0, "md", "trig"), "true"));
    EXPECT_TRUE(b.WaitEval(det(0, "md", "level"), "100"));
    EXPECT_TRUE(b.WaitEval(det(0, "di-1", "trig"), "true"));
    // Each camera's events reach its own detectors only (cameras of one family share no connection).
    EXPECT_EQ("false", b.Eval(det(1, "md", "trig")));
    EXPECT_EQ("same page", b.Eval("window.__probe"));
    KeepScreenshot(b, "status-page-60.png");

    // Filtering by part of a name, then by state and name together.
    b.Eval("document.getElementById('filter').focus()");
    b.Type("cam-1");
    std::vector<std::string> shown;
    for (const std::string& n : want) {
        if (n.compare(0, 5, "cam-1") == 0) shown.push_back(n);
    }
    EXPECT_TRUE(b.WaitEval(kShownNames, join(shown)));
    EXPECT_EQ(std::to_string(shown.size()) + " shown", b.Eval("document.getElementById('shown').textContent"));
    b.Eval("document.getElementById('filter').select()");
    b.Type("UNREACHABLE " + mine[22]);
    EXPECT_TRUE(b.WaitEval(kShownNames, mine[22]));
    EXPECT_EQ(std::string::npos, b.Eval("document.body.innerHTML").find("page60-Pw"));
}

}  // namespace
