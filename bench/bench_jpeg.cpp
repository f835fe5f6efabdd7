// JPEG-header cost: Detect on a 1080p frame that carries an Axis comment
// segment (libjpeg reads the header only, the image data is never decoded),
// beside a plain scan of the same bytes for the comment marker; the cost of
// hostile frames of empty comment segments (a camera's marker bomb); and
// frames per second through the stream FIFO to one Axis detector that feeds
// three followers. Numbers only; nothing is asserted.
//
//   bench_jpeg [--seconds 5]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "camdet/transport/jpghdrdetector.h"
#include "dupfromox/oxdebuglog.h"
#include "host/recorder/camhost.h"
#include "tests/fixtures/recordinghost.h"
#include "tests/fixtures/testsupport.h"
#include "tools/camsim/jpegframe.h"

namespace {

using bench::Now;

class Probe : public JpgHdrDetector {
public:
    Probe() : JpgHdrDetector(DET_BASE_ATTR(), 0xFE, true) {}
    int GetPathPort(std::string&, int&) override { return -1; }
};

const std::string kText = std::string("\x0a\x03", 2) + "M0:1;ML0:050;M1:0;ML1:030;T0:0;A0:0;IO0:0;IO1:1;";

void DetectVersusScan(const std::vector<unsigned char>& frame, double seconds) {
    Probe det;
    static const int ids[] = {0x0A, 0x03};
    det.SetDataIds(ids, 2);
    char* out = nullptr;
    unsigned int cap = 0, len = 0;
    long n = 0;
    const double t0 = Now();
    while (Now() - t0 < seconds) {
        for (int i = 0; i < 100; ++i) n += det.Detect((char*)frame.data(), (unsigned int)frame.size(), out, cap, len) == 0;
    }
    const double detectRate = n / (Now() - t0);
    delete[] out;

    // The scan a parser-free reader would do: find FF FE, check the prefix.
    long found = 0, scans = 0;
    const double t1 = Now();
    while (Now() - t1 < seconds) {
        for (int i = 0; i < 100; ++i, ++scans) {
            const unsigned char* p = frame.data();
            const unsigned char* end = p + frame.size();
            while ((p = (const unsigned char*)memchr(p, 0xFF, (size_t)(end - p))) && p + 4 < end) {
                if (p[1] == 0xFE && p[4] == 0x0A && p[5] == 0x03) {
                    ++found;
                    break;
                }
                ++p;
            }
        }
    }
    const double scanRate = scans / (Now() - t1);
    printf("1080p frame of %zu bytes with a comment segment:\n", frame.size());
    printf("  Detect (libjpeg, header only): %10.0f frames/s  (%.2f us/frame)\n", detectRate, 1e6 / detectRate);
    printf("  plain scan for the marker:     %10.0f frames/s  (%.2f us/frame, %ld found)\n", scanRate, 1e6 / scanRate,
           found);
}

// Frames that open with many empty comment segments before the Axis one.
void MarkerBombs(const std::vector<unsigned char>& frame, double seconds) {
    Probe det;
    static const int ids[] = {0x0A, 0x03};
    det.SetDataIds(ids, 2);
    char* out = nullptr;
    unsigned int cap = 0, len = 0;
    printf("frames of empty comment segments, then the Axis one:\n");
    for (size_t count : {(size_t)1000, (size_t)80000, (size_t)(8u << 20) / 4}) {
        std::vector<unsigned char> bomb = frame;
        camsim::AddEmptyComments(bomb, count);
        long n = 0, ok = 0;
        const double t0 = Now(), c0 = bench::CpuSeconds();
        while (n == 0 || Now() - t0 < seconds / 3) {
            ok += det.Detect((char*)bomb.data(), (unsigned int)bomb.size(), out, cap, len) == 0;
            ++n;
        }
        const double cpu = bench::CpuSeconds() - c0;
        printf("  %8zu segments (%7.2f MiB): %10.1f us CPU per frame, %s\n", count, bomb.size() / 1048576.0,
               1e6 * cpu / n, ok ? "segment read" : "no data");
    }
    delete[] out;
}

void FifoFramesPerSecond(const std::vector<unsigned char>& frame, double seconds) {
    bench::ResetSharing();
    CamMediator med;
    RecorderCameraCap cap;
    cap.SetDICnt(2);
    RecorderCameraAPI api(&cap);
    StreamFifo fifo;
    CountingEventBuf bufs[4];
    CountingEventBufMap map;
    std::vector<CamDetector*> dets;
    for (int kind = 1; kind <= 4; ++kind) {
        DET_BASE_ATTR a;
        a.camMediatorHdl = CamMediatorHandler(&med);
        a.pCamApi = &api;
        a.evtBufHdl = EventBufHandler(&bufs[kind - 1]);
        if (kind == 2) a.evtBufMapHdl = EventBufMapHandler(&map);
        a.streamFifoHdl = StreamFifoHandler(&fifo);
        a.pCamCap = &cap;
        // The class the factories choose for an Axis JPEG stream read from the FIFO.
        std::unique_ptr<CamDetector> d = MakeFor("axisv5", kind, a, 1, true);
        if (!d) return;
        dets.push_back(d.release());
    }
    for (CamDetector* d : dets) d->Start();
    // Push as fast as the owner takes frames: it reads one per 100 ms period,
    // so this is the cost per frame at the detector's own pace.
    const double t0 = Now();
    long pushed = 0;
    while (Now() - t0 < seconds) {
        fifo.Push(frame.data(), frame.size());
        ++pushed;
        fifo.WaitNewer(fifo.NewestPosition(), 1);
    }
    const int updates = bufs[0].GetUpdateCount();
    for (CamDetector* d : dets) {
        d->Stop();
        d->UnlinkShareDet();
        delete d;
    }
    printf("stream FIFO, one Axis owner and three followers: %ld frames pushed, %d motion updates in %.1f s "
           "(the owner takes one frame per 100 ms)\n",
           pushed, updates, seconds);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 5;
    if (!bench::ParseNumberOptions(argc, argv, {{"--seconds", &seconds}})) return 2;
    BrellinOwned::OXSetLogPath("/dev/null");
    const std::vector<unsigned char> frame = camsim::MakeJpegFrame(1920, 1080, 0, {{0xFE, kText}}, true, 85);
    if (frame.empty()) {
        fprintf(stderr, "bench_jpeg: could not make the frame\n");
        return 1;
    }
    DetectVersusScan(frame, seconds);
    MarkerBombs(frame, seconds);
    FifoFramesPerSecond(frame, seconds);
    return 0;
}
