#include "host/media/streamfifo.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "dupfromox/oxdebuglog.h"
#include "host/multipart/multipartfetcher.h"
#include "interface/backoff.h"

namespace {
const char* const kSrc = "host/streamfifo";
}  // namespace

// ---------------------------------------------------------------- media unit

MediaUnit::MediaUnit(std::shared_ptr<const std::vector<unsigned char> > data, int position)
    : m_Data(data), m_Position(position) {}
MediaUnit::~MediaUnit() {}

unsigned char* MediaUnit::GetData() {
    // The detectors' interface hands out a non-const pointer; nobody writes through it.
    return m_Data && !m_Data->empty() ? const_cast<unsigned char*>(m_Data->data()) : nullptr;
}
unsigned long MediaUnit::GetLength() { return m_Data ? (unsigned long)m_Data->size() : 0; }
int MediaUnit::GetPosition() { return m_Position; }

FuncTable* GetMediaUnitFuncTable() {
    static MemFunc<unsigned char*, MediaUnit> data(&MediaUnit::GetData);
    static MemFunc<unsigned long, MediaUnit> length(&MediaUnit::GetLength);
    static MemFunc<int, MediaUnit> position(&MediaUnit::GetPosition);
    static FuncTable table = {
        {MEDIA_UNIT_FUNC_DATA, &data}, {MEDIA_UNIT_FUNC_LENGTH, &length}, {MEDIA_UNIT_FUNC_POSITION, &position}};
    return &table;
}

void ReleaseMediaUnit(BRObjectBase*& unit) {
    MediaUnit* u = unit ? dynamic_cast<MediaUnit*>(unit) : nullptr;
    if (!u) return;
    delete u;
    unit = nullptr;
}

// ---------------------------------------------------------------- FIFO

StreamFifo::StreamFifo(size_t maxUnits, size_t maxBytes)
    : m_Bytes(0), m_MaxUnits(maxUnits > 0 ? maxUnits : 1), m_MaxBytes(maxBytes), m_Next(1) {}

StreamFifo::~StreamFifo() {}

BRObjectBase* StreamFifo::NextUnit(int pos) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_Units.empty()) return nullptr;
    const Unit& newest = m_Units.back();
    // Any other pos, behind or ahead of the newest (a first request, 10001 by
    // convention, or one from before the numbering wrapped), gets the newest.
    if (pos == newest.position) return nullptr;
    return new (std::nothrow) MediaUnit(newest.data, newest.position);
}

bool StreamFifo::Push(const unsigned char* data, size_t len) {
    if (!data || len == 0 || len > m_MaxBytes) return false;
    std::shared_ptr<std::vector<unsigned char> > copy;
    try {
        copy = std::make_shared<std::vector<unsigned char> >(data, data + len);
    } catch (const std::bad_alloc&) {
        return false;
    }
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        while (!m_Units.empty() && (m_Units.size() >= m_MaxUnits || m_Bytes + len > m_MaxBytes)) {
            m_Bytes -= m_Units.front().data->size();
            m_Units.pop_front();
        }
        Unit u;
        u.data = copy;
        u.position = m_Next;
        m_Next = m_Next == INT_MAX ? 1 : m_Next + 1;
        m_Units.push_back(u);
        m_Bytes += len;
    }
    m_Cond.notify_all();
    return true;
}

void StreamFifo::Clear() {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Units.clear();
    m_Bytes = 0;
}

size_t StreamFifo::Units() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Units.size();
}

size_t StreamFifo::Bytes() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Bytes;
}

int StreamFifo::NewestPosition() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Units.empty() ? 0 : m_Units.back().position;
}

bool StreamFifo::WaitNewer(int pos, int ms) {
    BrellinOwned::Clock& clock = BrellinOwned::RealClock();
    const int64_t end = clock.NowMs() + ms;
    for (;;) {
        {
            std::unique_lock<std::mutex> g(m_Mutex);
            if (!m_Units.empty() && m_Units.back().position != pos) return true;
        }
        const int64_t left = end - clock.NowMs();
        if (left <= 0) return false;
        clock.WaitMs(left < 10 ? left : 10, nullptr);
    }
}

FuncTable* GetStreamFifoFuncTable() {
    static MemFunc<BRObjectBase*, StreamFifo, int> nextUnit(&StreamFifo::NextUnit);
    static FuncTable table = {{STREAM_FIFO_FUNC_NEXT_UNIT, &nextUnit}};
    return &table;
}

// ---------------------------------------------------------------- feeder

bool StreamFifoFeeder::ParseUrl(const std::string& url, Source& src, std::string& why) {
    src.blTls = url.compare(0, 8, "https://") == 0;
    if (!src.blTls && url.compare(0, 7, "http://") != 0) {
        why = "not an http:// or https:// URL";
        return false;
    }
    std::string rest = url.substr(src.blTls ? 8 : 7);
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    src.path = slash == std::string::npos ? "/" : rest.substr(slash);
    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string login = authority.substr(0, at);
        authority = authority.substr(at + 1);
        size_t colon = login.find(':');
        src.user = login.substr(0, colon);
        src.password = colon == std::string::npos ? std::string() : login.substr(colon + 1);
    }
    src.port = src.blTls ? 443 : 80;
    size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        char* end = nullptr;
        long p = strtol(port.c_str(), &end, 10);
        if (port.empty() || *end || p <= 0 || p > 65535) {
            why = "bad port";
            return false;
        }
        src.port = (int)p;
        authority = authority.substr(0, colon);
    }
    if (authority.size() > 2 && authority[0] == '[' && authority[authority.size() - 1] == ']') {
        authority = authority.substr(1, authority.size() - 2);
    }
    if (authority.empty()) {
        why = "no host";
        return false;
    }
    src.host = authority;
    return true;
}

StreamFifoFeeder::StreamFifoFeeder(StreamFifo& fifo, const Source& src, BrellinOwned::CameraServices& services)
    : m_Fifo(fifo), m_Src(src), m_Services(services), m_blRun(false), m_Frames(0), m_Connects(0) {}

StreamFifoFeeder::~StreamFifoFeeder() { Stop(); }

bool StreamFifoFeeder::Start() {
    if (m_Thread.joinable()) return true;
    m_StopWake.Reset();
    m_blRun = true;
    try {
        m_Thread = std::thread(&StreamFifoFeeder::Run, this);
    } catch (...) {
        m_blRun = false;
        OXLOG(kSrc, "Stream %s:%d: cannot start the feeder thread.\n", m_Src.host.c_str(), m_Src.port);
        return false;
    }
    return true;
}

void StreamFifoFeeder::Stop() {
    m_blRun = false;
    m_StopWake.Signal();
    if (m_Thread.joinable()) m_Thread.join();
}

void StreamFifoFeeder::Run() {
    // Every wait of the fetcher (connect, answer, the next bytes) ends, as a
    // failure, once Stop signals this: a stalled or dripping camera does not
    // hold the feeder until its time-out.
    BrellinOwned::SetCurrentWakeUp(&m_StopWake);
    BrellinOwned::Clock& clock = m_Services.GetClock();
    MultipartFetcher fetcher(m_Services);
    fetcher.Open(const_cast<char*>(m_Src.path.c_str()), const_cast<char*>(m_Src.host.c_str()), m_Src.port,
                 const_cast<char*>(m_Src.user.c_str()), const_cast<char*>(m_Src.password.c_str()), m_Src.timeoutSec,
                 1);
    if (m_Src.blTls) fetcher.RequireTls();
    std::vector<unsigned char> frame;
    BrellinOwned::ReconnectBackoff backoff;
    bool open = false;       // a connection (or an attempt at one) is under way
    bool delivered = false;  // it brought a part
    int64_t beganMs = 0;
    while (m_blRun) {
        if (!open) {
            open = true;
            delivered = false;
            beganMs = clock.NowMs();
        }
        unsigned int len = 0;
        int bodyLen = 0;
        char type[128];
        if (fetcher.NextPart(len, type, sizeof(type), bodyLen) != 0) {
            // The fetcher logs the failure once per run of failures. A camera
            // that ends every stream at once is not asked again at once.
            open = false;
            const int64_t wait = backoff.NextWaitMs(delivered, clock.NowMs() - beganMs);
            if (wait > 0 && clock.WaitMs(wait, &m_StopWake)) break;
            continue;
        }
        if (!delivered) {
            delivered = true;
            ++m_Connects;
        }
        if (bodyLen < 2) continue;
        frame.resize((size_t)len);
        if (fetcher.ReadPart(frame.data(), len) != 0) continue;
        // Parts that are not JPEG frames (text, keep-alive parts) are not units.
        if (frame[0] != 0xFF || frame[1] != 0xD8) continue;
        if (m_Fifo.Push(frame.data(), (size_t)bodyLen)) ++m_Frames;
    }
    fetcher.Drop();
    BrellinOwned::SetCurrentWakeUp(nullptr);
}
