#include "tools/monitor/fleet.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <set>
#include <thread>

#include "dupfromox/oxdebuglog.h"
#include "tools/common/isotime.h"
#include "tools/common/waitend.h"
#include "tools/common/waittable.h"
#include "tools/monitor/librarylog.h"
#include "tools/monitor/mqttpub.h"
#include "tools/monitor/recorder.h"
#include "tools/monitor/shard.h"
#include "tools/monitor/statusboard.h"
#include "tools/monitor/statusserver.h"

namespace {

// Creation may wait on a camera (ONVIF set-up), release on a detector's
// current exchange: a few at once keep one slow camera from holding up the rest.
const int kCreateWorkers = 8;
const int kReleaseWorkers = 32;
// Shutdown waits this long for the detectors, then gives up on them.
const int kShutdownLimitSec = 60;
// The library's last lines get this long to reach stderr at the end.
const int kLogFlushMs = 200;

// Runs fn(0..n-1) on up to `workers` threads; returns when all are done.
void ParallelFor(size_t n, int workers, const std::function<void(size_t)>& fn) {
    if (n == 0) return;
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < n;) fn(i);
    };
    const size_t count = std::min<size_t>(n, (size_t)workers);
    std::vector<std::thread> threads;
    for (size_t t = 1; t < count; ++t) threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();
}

// "host:port" of an http:// URL (ONVIF device address); empty when it has none.
std::string UrlAddress(const std::string& url) {
    size_t start = url.find("://");
    if (start == std::string::npos) return std::string();
    start += 3;
    size_t end = url.find('/', start);
    std::string hp = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t at = hp.rfind('@');
    if (at != std::string::npos) hp = hp.substr(at + 1);
    if (hp.find(':') == std::string::npos) hp += url.compare(0, 8, "https://") == 0 ? ":443" : ":80";
    return hp;
}

// The default name on the broker: the host's, or the shard's, which stays
// the same when the shard moves to another machine and differs between shards
// on one machine (it is also the client id).
std::string NodeName(const MonitorOptions& opt) {
    if (opt.shards) return "shard-" + std::to_string(opt.shard);
    char host[256] = {0};
    if (gethostname(host, sizeof(host) - 1) != 0 || !host[0]) return "camdet";
    std::string out;
    for (const char* p = host; *p && out.size() < 64; ++p)
        out += (isalnum((unsigned char)*p) || *p == '-' || *p == '_') ? *p : '_';
    return out;
}

std::string Summary(const MonitorOptions& opt, const FleetChange& c, size_t running, size_t inFile) {
    std::string s = "camdet-monitor: " + opt.config + ": ";
    if (opt.shards)
        s += "shard " + std::to_string(opt.shard) + "/" + std::to_string(opt.shards) + " of " +
             std::to_string(inFile) + " cameras: ";
    s += std::to_string(running) + " cameras running";
    std::vector<std::string> parts;
    if (c.started) parts.push_back(std::to_string(c.started) + " started");
    if (c.restarted) parts.push_back(std::to_string(c.restarted) + " restarted");
    if (c.released) parts.push_back(std::to_string(c.released) + " released");
    if (c.unchanged) parts.push_back(std::to_string(c.unchanged) + " unchanged");
    if (c.failed) parts.push_back(std::to_string(c.failed) + " could not be created");
    for (size_t i = 0; i < parts.size(); ++i) s += (i ? ", " : " (") + parts[i];
    return s + (parts.empty() ? "" : ")");
}

}  // namespace

std::string CameraAddress(const MonitorOptions& opt) {
    if (!opt.onvifDevice.empty()) return UrlAddress(opt.onvifDevice);
    return opt.host + ":" + std::to_string(opt.port);
}

struct Fleet::Running {
    FleetCamera cfg;
    BoardCamera board;
    std::unique_ptr<StatusPrinter> printer;
    std::unique_ptr<MiniRecorder> rec;
};

Fleet::Fleet(const FleetSinks& sinks) : m_Sinks(sinks) {}

Fleet::~Fleet() { ReleaseAll(); }

size_t Fleet::Count() const { return m_Cams.size(); }

std::vector<std::string> Fleet::Names() const {
    std::vector<std::string> out;
    for (const auto& kv : m_Cams) out.push_back(kv.first);
    return out;
}

std::unique_ptr<Fleet::Running> Fleet::Create(const FleetCamera& cam, std::string& error) {
    std::unique_ptr<Running> r(new Running());
    r->cfg = cam;
    MonitorOptions opt = cam.opt;
    if (!cam.camIdGiven) opt.camId = m_CamIds.at(cam.name);

    BoardCamera& b = r->board;
    b.name = cam.name;
    b.api = opt.api;
    b.camId = opt.camId;
    b.address = CameraAddress(opt);

    r->printer.reset(new StatusPrinter(m_Sinks.out, m_Sinks.json, cam.name, &m_OutLock));
    StatusBoard* board = m_Sinks.board;
    MqttPublisher* mqtt = m_Sinks.mqtt;
    const std::string name = cam.name;
    r->printer->SetObserver([board, mqtt, name](int kind, int port, bool trig, int level, const std::string& t) {
        if (board) board->Status(name, kind, port, trig, level, t);
        if (mqtt) mqtt->Status(name, kind, port, trig, level, t);
    });
    r->rec.reset(new MiniRecorder(opt, *r->printer));
    r->rec->CreateDetectors();
    if (r->rec->DetectorCount() == 0) {
        error = "no detector for camera API key '" + opt.api + "'";
        return nullptr;
    }
    for (int kind : opt.kinds) {
        BRObjectBase* det = r->rec->Detector(kind);
        if (!det) continue;
        BoardDetector d;
        d.kind = kind;
        d.cls = DetectorClassName(det);
        if (kind == 2) {
            for (int p = 0; p < opt.diCount; ++p) {
                d.port = p;
                b.detectors.push_back(d);
            }
        } else {
            b.detectors.push_back(d);
        }
    }
    if (board) board->AddCamera(b);
    if (mqtt) mqtt->AddCamera(b);
    // Through the printer, so that a failure reaches the board and the broker
    // before anything the detectors said because of it; set once they know the
    // camera, with what its set-up already told.
    r->printer->SetHealthObserver([board, mqtt, name](const BrellinOwned::CAM_HEALTH_REPORT& rep) {
        const bool ok = rep.state == BrellinOwned::CAM_HEALTH_OK;
        const std::string when = IsoTimeOfMs(ok || rep.errorTimeMs == 0 ? rep.changedMs : rep.errorTimeMs);
        const std::string state = BrellinOwned::CamHealthName(rep.state);
        if (board) board->Health(name, state, ok ? std::string() : rep.error, when);
        if (mqtt) mqtt->Health(name, state, when);
    });
    r->rec->StartAll();
    return r;
}

void Fleet::Release(std::vector<std::unique_ptr<Running> >& cams) {
    ParallelFor(cams.size(), kReleaseWorkers, [&](size_t i) {
        // What stopping makes the detectors say is not the camera's word.
        cams[i]->printer->Close();
        cams[i]->rec->ReleaseAll();
        cams[i].reset();
    });
    cams.clear();
}

FleetChange Fleet::Apply(const std::vector<FleetCamera>& cams) {
    // A thread per detector (up to four and the inputs per camera), each
    // waiting on its own condition variable.
    SizeWaitTable(6 * cams.size() + 64);
    FleetChange ch;
    std::set<std::string> wanted;
    std::vector<const FleetCamera*> toCreate;
    std::vector<std::unique_ptr<Running> > toRelease;
    std::vector<std::string> forget;
    for (const FleetCamera& c : cams) {
        wanted.insert(c.name);
        auto it = m_Cams.find(c.name);
        if (it == m_Cams.end()) {
            toCreate.push_back(&c);
            ch.started++;
        } else if (it->second->cfg.args != c.args) {
            toRelease.push_back(std::move(it->second));
            m_Cams.erase(it);
            toCreate.push_back(&c);
            ch.restarted++;
        } else {
            ch.unchanged++;
        }
        if (!m_CamIds.count(c.name)) m_CamIds[c.name] = m_NextCamId++;
    }
    for (auto it = m_Cams.begin(); it != m_Cams.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        forget.push_back(it->first);
        toRelease.push_back(std::move(it->second));
        it = m_Cams.erase(it);
        ch.released++;
    }
    Release(toRelease);
    for (const std::string& n : forget) {
        if (m_Sinks.board) m_Sinks.board->RemoveCamera(n);
        if (m_Sinks.mqtt) m_Sinks.mqtt->RemoveCamera(n);
    }

    std::vector<std::unique_ptr<Running> > made(toCreate.size());
    std::vector<std::string> errors(toCreate.size());
    BrellinOwned::WakeUp* wake = m_CreationWake;
    ParallelFor(toCreate.size(), kCreateWorkers, [&](size_t i) {
        if (wake && wake->IsSignalled()) return;  // ending: no more cameras
        BrellinOwned::SetCurrentWakeUp(wake);
        made[i] = Create(*toCreate[i], errors[i]);
        BrellinOwned::SetCurrentWakeUp(nullptr);
    });
    for (size_t i = 0; i < toCreate.size(); ++i) {
        const std::string& name = toCreate[i]->name;
        if (made[i]) {
            m_Cams[name] = std::move(made[i]);
            continue;
        }
        if (wake && wake->IsSignalled()) continue;  // left out on the way out, not a failure
        ch.failed++;
        if (m_Sinks.board) m_Sinks.board->RemoveCamera(name);
        if (m_Sinks.mqtt) m_Sinks.mqtt->RemoveCamera(name);
        std::lock_guard<std::mutex> g(m_OutLock);
        const std::string line = "camdet-monitor: camera '" + name + "': " + errors[i] + "; the others run";
        if (m_Sinks.err == stderr) {
            SayOnStderr(line);  // never held up by a stderr nobody reads
        } else {
            fprintf(m_Sinks.err, "%s\n", line.c_str());
            fflush(m_Sinks.err);
        }
    }
    return ch;
}

void Fleet::ReleaseAll() {
    std::vector<std::unique_ptr<Running> > all;
    for (auto& kv : m_Cams) all.push_back(std::move(kv.second));
    m_Cams.clear();
    Release(all);
}

int RunFleet(const MonitorOptions& opt) {
    // SIGHUP joins the end signals: all three go to sigtimedwait below only.
    sigset_t set;
    BlockEndSignals(set);
    const sigset_t endSet = set;
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    std::vector<FleetCamera> cams;
    std::string error;
    if (!LoadFleetConfig(opt.config, cams, error)) {
        fprintf(stderr, "camdet-monitor: %s\n", error.c_str());
        return 2;
    }
    size_t inFile = cams.size();
    if (opt.shards) cams = CamerasOfShard(cams, opt.shard, opt.shards);
    if (!opt.logFile.empty()) UseLibraryLog(opt.logFile);
    else CheckDefaultLibraryLog();

    std::unique_ptr<StatusBoard> board;
    std::unique_ptr<StatusServer> server;
    if (!opt.httpAddr.empty()) {
        board.reset(new StatusBoard());
        server.reset(new StatusServer(*board));
        if (!server->Start(opt.httpAddr, error)) {
            fprintf(stderr, "camdet-monitor: %s\n", error.c_str());
            return 1;
        }
        fprintf(stderr, "camdet-monitor: status page on http://%s/\n",
                (opt.httpAddr.find(':') == std::string::npos ? "127.0.0.1:" + std::to_string(server->Port())
                 : opt.httpAddr.substr(0, opt.httpAddr.rfind(':') + 1) + std::to_string(server->Port()))
                    .c_str());
        board->SetScope(opt.shard, opt.shards, inFile);
    }

    std::unique_ptr<MqttPublisher> mqtt;
    if (!opt.mqttUrl.empty()) {
        MqttSettings ms;
        if (!ParseMqttUrl(opt.mqttUrl, ms, error)) {
            fprintf(stderr, "camdet-monitor: %s\n", error.c_str());
            return 2;
        }
        ms.user = opt.mqttUser;
        ms.password = opt.mqttPassword;
        if (ms.password.empty() && getenv("CAMDET_MQTT_PASSWORD")) ms.password = getenv("CAMDET_MQTT_PASSWORD");
        ms.caFile = opt.mqttCaFile;
        ms.node = opt.mqttNode.empty() ? NodeName(opt) : opt.mqttNode;
        mqtt.reset(new MqttPublisher(ms, stderr));
        if (!mqtt->Start(error)) {
            fprintf(stderr, "camdet-monitor: %s\n", error.c_str());
            return 1;
        }
    }

    if (board && mqtt) {
        MqttPublisher* m = mqtt.get();
        board->SetMoreMetrics([m] { return m->Metrics(); });
    }
    FleetSinks sinks;
    sinks.json = opt.json;
    sinks.board = board.get();
    sinks.mqtt = mqtt.get();
    std::unique_ptr<Fleet> fleet(new Fleet(sinks));
    FleetChange ch;
    bool ended = false;
    {
        // Creating cameras may talk to silent ones for long: an end signal
        // meanwhile makes every creation give up.
        EndSignalWatch watch(endSet);
        fleet->SetCreationWake(watch.Wake());
        ch = fleet->Apply(cams);
        fleet->SetCreationWake(nullptr);
        ended = watch.Finish();
    }
    SayOnStderr(Summary(opt, ch, fleet->Count(), inFile));

    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (!ended) {
        struct timespec ts = {1, 0};
        if (opt.duration >= 0) {
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            double left = opt.duration - ((now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9);
            if (left <= 0) break;
            if (left < 1) {
                ts.tv_sec = 0;
                ts.tv_nsec = (long)(left * 1e9);
            }
        }
        int sig = sigtimedwait(&set, nullptr, &ts);
        if (sig == SIGINT || sig == SIGTERM) break;
        if (sig != SIGHUP) continue;
        std::vector<FleetCamera> next;
        if (!LoadFleetConfig(opt.config, next, error)) {
            SayOnStderr("camdet-monitor: " + error + "; the running cameras stay as they are");
            continue;
        }
        inFile = next.size();
        if (opt.shards) next = CamerasOfShard(next, opt.shard, opt.shards);
        if (board) board->SetScope(opt.shard, opt.shards, inFile);
        {
            EndSignalWatch watch(endSet);
            fleet->SetCreationWake(watch.Wake());
            ch = fleet->Apply(next);
            fleet->SetCreationWake(nullptr);
            ended = watch.Finish();
        }
        SayOnStderr(Summary(opt, ch, fleet->Count(), inFile));
    }

    // A detector stuck in an exchange must not keep the process alive forever.
    std::mutex doneMutex;
    std::condition_variable doneCond;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lk(doneMutex);
        if (!doneCond.wait_for(lk, std::chrono::seconds(kShutdownLimitSec), [&] { return done; })) {
            // Never blocking on stderr: a full pipe must not keep the process alive.
            SayOnStderr("camdet-monitor: detectors did not stop within " + std::to_string(kShutdownLimitSec) +
                        " s; exiting without them");
            FlushLibraryLog(kLogFlushMs);
            _exit(1);
        }
    });
    fleet.reset();
    if (board) board->SetMoreMetrics(nullptr);
    if (mqtt) mqtt->Stop();
    if (server) server->Stop();
    {
        std::lock_guard<std::mutex> g(doneMutex);
        done = true;
    }
    doneCond.notify_all();
    watchdog.join();
    FlushLibraryLog(kLogFlushMs);
    return 0;
}
