#include "host/multipart/multipartfetcher.h"

#include <string.h>
#include <strings.h>
#include <time.h>

#include <algorithm>
#include <new>
#include <mutex>

#include "dupfromox/oxdebuglog.h"
#include "host/net/healthservices.h"
#include "interface/backoff.h"
#include "interface/clock.h"

namespace {
const char* const kSrc = "host/multipartfetcher";
const int kChunk = 16 * 1024;

std::mutex g_MakerMutex;
MultipartFetcher::SourceMaker g_Maker;

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

// The part's header lines as "Name:value\n" (pragmaOnly: only the Pragma
// lines, as "Pragma: value\n"), the optional blanks around the value dropped.
// The two forms are what the two body modes' cameras are read with.
std::string HeaderLines(const std::string& headers, bool pragmaOnly) {
    std::string out;
    size_t p = 0;
    while (p < headers.size()) {
        size_t nl = headers.find('\n', p);
        if (nl == std::string::npos) nl = headers.size();
        std::string line = headers.substr(p, nl - p);
        p = nl + 1;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        size_t b = colon + 1, e = line.size();
        while (b < e && (line[b] == ' ' || line[b] == '\t')) ++b;
        while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t' || line[e - 1] == '\r')) --e;
        const bool pragma = strcasecmp(name.c_str(), "Pragma") == 0;
        if (pragmaOnly && !pragma) continue;
        out += name + (pragmaOnly ? ": " : ":") + line.substr(b, e - b) + "\n";
    }
    return out;
}
}  // namespace

// ---------------------------------------------------------------- HTTP source

int MFHttpSource::Connect(const MF_CONNECT_INFO& info, std::string& contentType) {
    m_Client = m_Services.NewHttpClient();
    m_Client->Init(info.path, info.host, info.port, info.user, info.password, info.timeoutSec,
                   !info.user.empty() || !info.password.empty(), true, info.version, std::string());
    if (info.blTls && !m_Client->RequireTls()) return -1;
    if (m_Client->SendRequest(OX_HTTP_GET, std::string()) != 0) return -1;
    int status = 0;
    if (m_Client->CheckResponse(status) != 0) return -2;
    m_blErrorStatus = status < 200 || status >= 300;
    contentType.clear();
    m_Client->GetHttpContent(HTTP_MAP_CONTENT_TYPE, contentType);
    return 0;
}

int MFHttpSource::Read(char* buf, int max) { return m_Client ? m_Client->ReadData(buf, max) : -1; }

void MFHttpSource::Close() {
    if (m_Client) m_Client->Close();
    m_Client.reset();
}

// ---------------------------------------------------------------- fetcher

void MultipartFetcher::SetSourceMaker(SourceMaker maker) {
    std::lock_guard<std::mutex> g(g_MakerMutex);
    g_Maker = maker;
}

MultipartFetcher::MultipartFetcher(BrellinOwned::CameraServices& services)
    : m_Services(services),
      m_blOpened(false),
      m_blConnected(false),
      m_blStreamParts(false),
      m_ConnectedMs(0),
      m_blFailLogged(false),
      m_blHavePart(false),
      m_PartLen(0),
      m_Health(services.Health()) {}

MultipartFetcher::~MultipartFetcher() { Drop(); }

void MultipartFetcher::Open(char* path, char* host, int port, char* user, char* password, int timeoutSec, int) {
    Drop();
    m_Info.path = Text(path);
    m_Info.host = Text(host);
    m_Info.port = port;
    m_Info.user = Text(user);
    m_Info.password = Text(password);
    m_Info.timeoutSec = timeoutSec > 0 ? timeoutSec : 10;
    m_Info.blTls = false;
    m_blOpened = true;
}

void MultipartFetcher::SetOptions(const std::map<std::string, std::string>& opts) {
    std::map<std::string, std::string>::const_iterator it = opts.find("HttpVersion");
    if (it == opts.end()) return;
    if (it->second == "HTTP_VER_1_0") m_Info.version = HTTP_VER_1_0;
    else if (it->second == "HTTP_VER_1_1") m_Info.version = HTTP_VER_1_1;
    else m_Info.version = HTTP_VER_DEF;
}

int MultipartFetcher::Connect() {
    {
        std::lock_guard<std::mutex> g(g_MakerMutex);
        m_Source = g_Maker ? g_Maker() : std::unique_ptr<MFByteSource>();
    }
    if (!m_Source) m_Source.reset(new MFHttpSource(m_Services));
    std::string contentType;
    int rc = m_Source->Connect(m_Info, contentType);
    if (rc != 0) {
        // A stopped detector is not a camera fault.
        if (!m_blFailLogged && !BrellinOwned::IsWakeSignalled()) {
            OXLOG(kSrc, "Stream %s:%d%s%s: connect failed (%d).\n", m_Info.host.c_str(), m_Info.port,
                  (m_Info.path.empty() || m_Info.path[0] != '/') ? "/" : "", m_Info.path.c_str(), rc);
            m_blFailLogged = true;
        }
        Drop();
        return -1;
    }
    m_Parser.Reset(BrellinOwned::MultipartBoundary(contentType));
    m_blConnected = true;
    m_blStreamParts = false;
    m_ConnectedMs = m_Services.GetClock().NowMs();
    return 0;
}

int MultipartFetcher::StreamEnded(const char* why, bool blClean) {
    int rc = MF_NEXT_STREAM_ENDED;
    // A stopped detector is not a camera fault, and an answer with an error
    // status was told by its client.
    if (!BrellinOwned::IsWakeSignalled() && !m_Source->ErrorStatus()) {
        // Told before the detector hears of the end: whoever shows the
        // camera must know it is not seen before the states the loss causes.
        const std::string where = BrellinOwned::HealthAddress(m_Info.host, m_Info.port, m_Info.path);
        if (m_Parser.Failed()) m_Health.Error("broken multipart framing from " + where);
        else if (!blClean) m_Health.Unreachable("stream from " + where + " lost: " + why);
        else if (!m_blStreamParts) m_Health.Error("stream from " + where + " ended before its first part");
        else rc = MF_NEXT_STREAM_CLOSED;
    }
    if (!m_blFailLogged && !BrellinOwned::IsWakeSignalled()) {
        OXLOG(kSrc, "Stream %s:%d: %s.\n", m_Info.host.c_str(), m_Info.port, why);
        m_blFailLogged = true;
    }
    Drop();
    return rc;
}

int MultipartFetcher::NextPart(unsigned int& len, char* text, unsigned int textSize, int& bodyLen) {
    m_blHavePart = false;
    len = 0;
    if (!m_blOpened) return MF_NEXT_NO_STREAM;
    if (!m_blConnected && Connect() != 0) return MF_NEXT_NO_STREAM;

    BrellinOwned::Clock& clock = m_Services.GetClock();
    const int64_t deadline = clock.NowMs() + (int64_t)m_Info.timeoutSec * 1000;
    char chunk[kChunk];
    while (!m_Parser.PopPart(m_Part)) {
        if (m_Parser.Failed()) return StreamEnded("broken framing", false);
        if (m_Parser.Ended()) return StreamEnded("closed", true);
        if (clock.NowMs() > deadline) return StreamEnded("no part within the time-out", false);
        const int n = m_Source->Read(chunk, sizeof(chunk));
        // The end of the response between two parts is the camera's own;
        // inside a part it cut the stream off.
        if (n == 0) return StreamEnded(m_Parser.BetweenParts() ? "closed" : "cut off mid-part", m_Parser.BetweenParts());
        if (n < 0) return StreamEnded("read failed", false);
        m_Parser.Feed(chunk, (size_t)n);
    }
    if (clock.NowMs() - m_ConnectedMs >= BrellinOwned::ReconnectBackoff::kRanMs) m_blFailLogged = false;
    m_blStreamParts = true;
    m_blHavePart = true;
    m_Health.Ok(false);
    size_t need = m_Part.body.size();
    if (!m_Part.headers.empty()) {
        need = std::max(need, HeaderLines(m_Part.headers, false).size() + 1);
        need = std::max(need, HeaderLines(m_Part.headers, true).size() + 1);
    }
    m_PartLen = (unsigned int)need;
    len = m_PartLen;
    bodyLen = (int)m_Part.body.size();
    if (text && textSize > 0) {
        size_t n = std::min((size_t)textSize - 1, m_Part.contentType.size());
        memcpy(text, m_Part.contentType.data(), n);
        text[n] = '\0';
    }
    return 0;
}

int MultipartFetcher::ReadPart(unsigned char* buf, unsigned int len) {
    if (!m_blHavePart || !buf || len > m_PartLen) return -1;
    size_t n = std::min((size_t)len, m_Part.body.size());
    memcpy(buf, m_Part.body.data(), n);
    if (len > n) memset(buf + n, 0, len - n);
    return 0;
}

int MultipartFetcher::WriteLines(unsigned char* buf, const std::string& lines) {
    if (!m_blHavePart || !buf || m_PartLen == 0) return -1;
    size_t n = std::min(lines.size(), (size_t)m_PartLen - 1);
    memcpy(buf, lines.data(), n);
    buf[n] = '\0';
    return 0;
}

int MultipartFetcher::PartHeaders(unsigned char* buf) { return WriteLines(buf, HeaderLines(m_Part.headers, false)); }

int MultipartFetcher::PartPragma(unsigned char* buf) { return WriteLines(buf, HeaderLines(m_Part.headers, true)); }

void MultipartFetcher::Failed() { Drop(); }

void MultipartFetcher::Drop() {
    if (m_Source) m_Source->Close();
    m_Source.reset();
    m_blConnected = false;
    m_blHavePart = false;
    m_Parser.Reset(std::string());
}

// ---------------------------------------------------------------- table

FuncTable* GetMFFuncTable() {
    static MemFunc<void, MultipartFetcher, char*, char*, int, char*, char*, int, int> open(&MultipartFetcher::Open);
    static MemFunc<int, MultipartFetcher, unsigned int&, char*, unsigned int, int&> next(&MultipartFetcher::NextPart);
    static MemFunc<int, MultipartFetcher, unsigned char*, unsigned int> read(&MultipartFetcher::ReadPart);
    static MemFunc<int, MultipartFetcher, unsigned char*> headers(&MultipartFetcher::PartHeaders);
    static MemFunc<int, MultipartFetcher, unsigned char*> pragma(&MultipartFetcher::PartPragma);
    static MemFunc<void, MultipartFetcher> failed(&MultipartFetcher::Failed);
    static MemFunc<void, MultipartFetcher> drop(&MultipartFetcher::Drop);
    static MemFunc<void, MultipartFetcher, const std::map<std::string, std::string>&> options(
        &MultipartFetcher::SetOptions);
    static FuncTable table = {
        {MF_FUNC_OPEN, &open},         {MF_FUNC_NEXT_PART, &next},      {MF_FUNC_READ_PART, &read},
        {MF_FUNC_PART_HEADERS, &headers}, {MF_FUNC_PART_PRAGMA, &pragma}, {MF_FUNC_FAILED, &failed},
        {MF_FUNC_DROP, &drop},         {MF_FUNC_OPTIONS, &options},
    };
    return &table;
}

BRObjectBase* MediaFetchFactory(BrellinOwned::CameraServices* services) {
    return new (std::nothrow) MultipartFetcher(services ? *services : BrellinOwned::DefaultCameraServices());
}

void ReleaseMediaFetch(BRObjectBase*& obj) {
    delete dynamic_cast<MultipartFetcher*>(obj);
    obj = nullptr;
}
