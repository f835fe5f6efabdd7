#include "tools/monitor/recorder.h"

#include <cxxabi.h>
#include <stdio.h>
#include <stdlib.h>

#include <typeinfo>

#include "camdet/api/entrypoints.h"
#include "camdet/core/eventdetector.h"
#include "interface/clock.h"
#include "host/onvif/onvifsetup.h"
#include "tools/common/jsonstring.h"
#include "tools/monitor/librarylog.h"
#include "tools/monitor/probe.h"
#include "tools/monitor/ticker.h"

DetectorHandler::DetectorHandler(BRObjectBase* det) { SetHandlerBase(det, GetDetectorFuncTable(), "DetectorHandler"); }

// ---------------------------------------------------------------- printer

StatusPrinter::StatusPrinter(FILE* out, bool json) : m_Out(out), m_Json(json) {
    Ticker::Get().Add(this, [this](int64_t now) { Tick(now); });
}

StatusPrinter::StatusPrinter(FILE* out, bool json, const std::string& camera, std::mutex* outLock)
    : m_Out(out), m_Json(json), m_Camera(camera), m_OutLock(outLock) {
    Ticker::Get().Add(this, [this](int64_t now) { Tick(now); });
}

StatusPrinter::~StatusPrinter() { Ticker::Get().Remove(this); }

void StatusPrinter::SetObserver(Observer o) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Observer = std::move(o);
}

void StatusPrinter::SetHealthObserver(HealthObserver o) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_HealthObserver = std::move(o);
    if (m_HealthObserver && m_blHealthTold) m_HealthObserver(m_LastHealth);
}

void StatusPrinter::Close() {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_blClosed = true;
}

void StatusPrinter::Health(const BrellinOwned::CAM_HEALTH_REPORT& rep) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_blClosed) return;
    const char* state = BrellinOwned::CamHealthName(rep.state);
    const bool ok = rep.state == BrellinOwned::CAM_HEALTH_OK;
    const std::string when = IsoTimeOfMs(ok || rep.errorTimeMs == 0 ? rep.changedMs : rep.errorTimeMs);
    std::string line;
    if (m_Json) {
        line = "{\"event\":\"camera\",";
        if (!m_Camera.empty()) line += "\"camera\":" + JsonString(m_Camera) + ",";
        line += std::string("\"state\":\"") + state + "\",\"error\":" + (ok ? "null" : JsonString(rep.error)) +
                ",\"time\":\"" + when + "\"}\n";
    } else {
        if (!m_Camera.empty()) line = m_Camera + ": ";
        line += when + " camera " + state + (ok || rep.error.empty() ? std::string() : ": " + rep.error) + "\n";
    }
    Emit(line);
    if (!ok && m_blSayFailures && rep.state >= 0 && rep.state < BrellinOwned::kCamHealthStates &&
        !m_FailureSaid[rep.state]) {
        m_FailureSaid[rep.state] = true;
        SayOnStderr("camdet-monitor: " + (m_Camera.empty() ? std::string() : m_Camera + ": ") + "camera " + state +
                    ": " + rep.error);
    }
    // The detectors' next word after an outage is news, whatever they said before it.
    if (!ok) m_Last.clear();
    const bool first = !m_blHealthTold || m_LastHealth.state == BrellinOwned::CAM_HEALTH_CONNECTING;
    m_ShowDueMs = ok && !m_blOk ? Ticker::NowMs() + kShowAfterOkMs : 0;
    m_blOk = ok;
    m_LastHealth = rep;
    m_blHealthTold = true;
    if (m_HealthObserver) m_HealthObserver(rep);
    // What the detectors said while the camera's first answer was judged is
    // that answer's word; after an outage they hold what the outage made
    // them say, which waits for the camera (Tick).
    if (ok && first) ShowCurrent();
}

void StatusPrinter::Emit(const std::string& line) {
    std::unique_lock<std::mutex> out;
    if (m_OutLock) out = std::unique_lock<std::mutex>(*m_OutLock);
    fputs(line.c_str(), m_Out);
    fflush(m_Out);
}

void StatusPrinter::Detector(int kind, const char* cls) {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::string line;
    if (m_Json) {
        line = "{\"event\":\"detector\",";
        if (!m_Camera.empty()) line += "\"camera\":" + JsonString(m_Camera) + ",";
        line += std::string("\"kind\":\"") + KindName(kind) + "\",\"class\":" + (cls ? JsonString(cls) : "null") + "}\n";
    } else {
        if (!m_Camera.empty()) line = m_Camera + ": ";
        line += std::string("detector ") + KindName(kind) + ": " + (cls ? cls : "(none for this camera)") + "\n";
    }
    Emit(line);
}

void StatusPrinter::Status(int kind, int port, bool trig, int level) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_blClosed) return;
    m_Current[std::make_pair(kind, port)] = std::make_pair(trig, level);
    // A camera we cannot see is not "quiet": what a failed exchange made the
    // detector say is not the camera's word.
    if (!m_blOk) return;
    Show(kind, port, trig, level);
}

void StatusPrinter::Tick(int64_t nowMs) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_ShowDueMs == 0 || nowMs < m_ShowDueMs) return;
    m_ShowDueMs = 0;
    if (!m_blOk || m_blClosed) return;
    // After an outage a detector holds what it said when the camera went
    // away (its alarms cleared) and what the camera said since: that is its
    // state now.
    ShowCurrent();
}

void StatusPrinter::ShowCurrent() {
    // Whatever was shown since the camera is ok stays.
    for (const auto& kv : m_Current) {
        if (!m_Last.count(kv.first)) Show(kv.first.first, kv.first.second, kv.second.first, kv.second.second);
    }
}

void StatusPrinter::Show(int kind, int port, bool trig, int level) {
    std::pair<int, int> key(kind, port);
    std::map<std::pair<int, int>, std::pair<bool, int> >::iterator it = m_Last.find(key);
    if (it != m_Last.end() && it->second.first == trig && it->second.second == level) return;
    m_Last[key] = std::make_pair(trig, level);
    const std::string now = NowIso();
    char buf[256];
    if (m_Json) {
        char portText[16];
        if (port < 0) snprintf(portText, sizeof(portText), "null");
        else snprintf(portText, sizeof(portText), "%d", port);
        snprintf(buf, sizeof(buf), "\"time\":\"%s\",\"kind\":\"%s\",\"port\":%s,\"trig\":%s,\"level\":%d}\n",
                 now.c_str(), KindName(kind), portText, trig ? "true" : "false", level);
        std::string line = "{\"event\":\"status\",";
        if (!m_Camera.empty()) line += "\"camera\":" + JsonString(m_Camera) + ",";
        Emit(line + buf);
    } else {
        if (port < 0)
            snprintf(buf, sizeof(buf), "%s %s %s level %d\n", now.c_str(), KindName(kind), trig ? "TRIGGERED" : "quiet",
                     level);
        else
            snprintf(buf, sizeof(buf), "%s %s port %d %s level %d\n", now.c_str(), KindName(kind), port,
                     trig ? "TRIGGERED" : "quiet", level);
        Emit(m_Camera.empty() ? std::string(buf) : m_Camera + ": " + buf);
    }
    if (m_Observer) m_Observer(kind, port, trig, level, now);
}

void StatusPrinter::Note(const std::string& text) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_Json) return;
    Emit(text + "\n");
}

// ---------------------------------------------------------------- recorder

std::string DetectorClassName(BRObjectBase* obj) {
    if (!obj) return std::string();
    const char* mangled = typeid(*obj).name();
    int status = 0;
    char* dem = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = (status == 0 && dem) ? dem : mangled;
    free(dem);
    return name;
}

BrellinOwned::CamTlsPolicy TlsPolicyOf(const MonitorOptions& opt, const std::string& camera) {
    BrellinOwned::CamTlsPolicy tls;
    tls.blHttps = opt.https;
    tls.httpsPort = opt.port;
    BrellinOwned::TlsVerifyFromName(opt.tlsVerify, tls.verify);
    tls.pin = opt.tlsPin;
    tls.caFile = opt.tlsCa;
    tls.camera = camera;
    return tls;
}

MiniRecorder::MiniRecorder(const MonitorOptions& opt, StatusPrinter& printer)
    : m_Opt(opt),
      m_Printer(printer),
      m_Services(BrellinOwned::RealClock()),
      m_Watched(new BrellinOwned::HealthServices(m_Services, opt.loginRation)),
      m_Api(new RecorderCameraAPI(&m_Cap)) {
    const std::string& name = printer.Camera();
    StatusPrinter* p = &m_Printer;
    m_Watched->Health()->SetListener([p](const BrellinOwned::CAM_HEALTH_REPORT& rep) { p->Health(rep); });
    m_Mediator.user = opt.user;
    m_Mediator.password = opt.password;
    m_Mediator.model = opt.model;
    m_Mediator.host = opt.host;
    // An HTTPS camera keeps its HTTP port; its services take what is meant
    // for that port to the HTTPS one.
    (opt.https ? m_Mediator.httpsPort : m_Mediator.httpPort) = opt.port;
    m_Mediator.camId = opt.camId;
    m_Mediator.diCount = opt.diCount;
    m_Mediator.streamFormat = opt.streamFormat;
    m_Mediator.streamProtocol = opt.streamProtocol;
    BrellinOwned::CamTlsPolicy tls =
        TlsPolicyOf(opt, "Cam[" + std::to_string(opt.camId) + "]" + (name.empty() ? "" : " " + name));
    BrellinOwned::TlsPortsFromMediator(tls, CamMediatorHandler(&m_Mediator));
    m_Services.SetTls(tls);
    m_Api->SetServices(m_Watched.get());
    if (opt.tlsVerify == "none")
        fprintf(stderr, "camdet-monitor: %scertificates are not checked (--tls-verify none)\n",
                name.empty() ? "" : (name + ": ").c_str());
    m_Cap.SetAPI(opt.api);
    m_Cap.SetDICnt(opt.diCount);
    for (const std::string& w : opt.caps) m_Cap.AddApiWord(w);
    for (int c : opt.hasCaps) m_Cap.AddCapability(c);
    for (const auto& t : opt.onvifTopics) m_Cap.SetOnvifTopic(t.first, t.second);
    if (!opt.onvifDevice.empty()) {
        OnvifSetupReport rep;
        OnvifSetupCameraCap(m_Cap, opt.onvifDevice, opt.user, opt.password, opt.onvifTopics, &rep, nullptr,
                            m_Api.get());
        // A key the device does not list is said once; it is used all the
        // same (some devices list fewer topics than they send).
        for (const auto& kc : rep.choices) {
            const std::string warning = OnvifTopicWarning(kc.first, kc.second);
            if (!warning.empty())
                fprintf(stderr, "camdet-monitor: %s%s\n",
                        printer.Camera().empty() ? "" : (printer.Camera() + ": ").c_str(), warning.c_str());
        }
    }
    m_Api->SetHttpPort(m_Mediator.httpPort);
    if (opt.detPathSet) m_Api->OverrideDetPath(opt.detPath);
    if (opt.detPort > 0) m_Api->OverrideDetPort(opt.detPort);

    if (!opt.rtspUrl.empty()) {
        RTSP_CLIENT_CONF conf;
        conf.user = opt.user;
        conf.password = opt.password;
        std::string why;
        ParseRtspUrl(opt.rtspUrl, conf, why);  // checked with the options; a login in the URL wins
        m_RtpFetch.reset(new RtpFetcher(conf, m_Watched->GetClock()));
        m_RtpFetch->SetHealth(m_Watched->Health());
    }

    m_EventBufMap.SetListener([p](int port, bool trig, int value) { p->Status(2, port, trig, value); });
}

MiniRecorder::~MiniRecorder() {
    ReleaseAll();
    m_Watched->Health()->SetListener(nullptr);
}

void MiniRecorder::CreateDetectors() {
    for (int kind : m_Opt.kinds) {
        EventBuf* buf = new EventBuf();
        m_EventBufs[kind].reset(buf);
        if (kind != 2) {
            StatusPrinter* p = &m_Printer;
            buf->SetListener([p, kind](bool trig, int value) { p->Status(kind, -1, trig, value); });
        }
        BRObjectBase* fifo = m_Opt.fifo ? &m_Fifo : nullptr;
        BRObjectBase* rtp = m_RtpFetch.get();
        BRObjectBase* det = nullptr;
        switch (kind) {
        case 1: det = MotionDetFactory(&m_Mediator, m_Api.get(), buf, fifo, &m_Cap, rtp, m_Opt.noPrepare); break;
        case 2:
            det = DigitalDetFactory(&m_Mediator, m_Api.get(), buf, &m_EventBufMap, fifo, &m_Cap, rtp,
                                    m_Opt.noPrepare);
            break;
        case 3:
            det = TamperingDetFactory(&m_Mediator, m_Api.get(), buf, fifo, &m_Cap, rtp, m_Opt.noPrepare);
            break;
        case 4: det = AudioDetFactory(&m_Mediator, m_Api.get(), buf, fifo, &m_Cap, rtp, m_Opt.noPrepare); break;
        }
        std::string cls = DetectorClassName(det);
        m_Printer.Detector(kind, det ? cls.c_str() : nullptr);
        if (det) m_Dets.push_back(Det{kind, det});
    }
}

void MiniRecorder::StartAll() {
    if (!m_Opt.fifoUrl.empty() && !m_Feeder) {
        StreamFifoFeeder::Source src;
        std::string why;
        StreamFifoFeeder::ParseUrl(m_Opt.fifoUrl, src, why);
        if (src.user.empty() && src.password.empty()) {
            src.user = m_Opt.user;
            src.password = m_Opt.password;
        }
        m_Feeder.reset(new StreamFifoFeeder(m_Fifo, src, *m_Watched));
        if (!m_Feeder->Start()) m_Printer.Note("the FIFO feeder could not start");
    }
    if (m_RtpFetch && !m_RtpFetch->IsLive() && !m_RtpFetch->StartLive())
        m_Printer.Note("the RTP fetcher could not start");
    for (const Det& d : m_Dets) {
        DetectorHandler h(d.obj);
        if (m_Opt.mdParamSet && d.kind == 1)
            h.SetMDParam(m_Opt.mdParam[0], m_Opt.mdParam[1], m_Opt.mdParam[2], m_Opt.mdParam[3]);
        for (const DetParamOpt& p : m_Opt.detParams) {
            if (p.kind != d.kind) continue;
            std::map<int, std::string> params;
            params[p.key] = p.value;
            h.SetDetParam(p.kind, params, 0);
        }
    }
    for (const Det& d : m_Dets) DetectorHandler(d.obj).Start();
}

void MiniRecorder::ReleaseAll() {
    for (Det& d : m_Dets) {
        switch (d.kind) {
        case 1: ReleaseMotionDetBRObj(d.obj); break;
        case 2: ReleaseDigitalDetBRObj(d.obj); break;
        case 3: ReleaseTamperingDetBRObj(d.obj); break;
        case 4: ReleaseAudioDetBRObj(d.obj); break;
        }
    }
    m_Dets.clear();
    // The FIFO outlives the detectors that read it; its feeder goes last.
    if (m_Feeder) m_Feeder->Stop();
    // So does the shared RTP fetcher.
    if (m_RtpFetch) m_RtpFetch->StopLive();
}

int MiniRecorder::DetectorCount() const { return (int)m_Dets.size(); }

BRObjectBase* MiniRecorder::Detector(int kind) const {
    for (const Det& d : m_Dets) {
        if (d.kind == kind) return d.obj;
    }
    return nullptr;
}
