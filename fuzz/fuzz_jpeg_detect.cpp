// JpgHdrDetector::Detect (libjpeg's header parser behind the recorder's error
// exit and memory source) on arbitrary frames in a buffer of exactly their
// length. The first byte picks the marker code and the Axis data-id prefix.
#include "camdet/transport/jpghdrdetector.h"
#include "dupfromox/oxdebuglog.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

namespace {

class FuzzJpg : public JpgHdrDetector {
public:
    FuzzJpg(int marker) : JpgHdrDetector(DET_BASE_ATTR(), marker, true) {}
    int GetPathPort(std::string&, int&) override { return -1; }
};

const int kMarkers[] = {0xFE, 0xE0, 0xE1, 0xE2};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static FuzzJpg* dets[4][2];
    const int m = data[0] & 3;
    const int ids = (data[0] >> 2) & 1;
    if (!dets[m][ids]) {
        // Detectors without recorder objects log that they cannot name their camera.
        BrellinOwned::OXSetLogPath("/dev/null");
        dets[m][ids] = new FuzzJpg(kMarkers[m]);
        static const int kAxisIds[] = {0x0A, 0x03};
        if (ids) dets[m][ids]->SetDataIds(kAxisIds, 2);
    }
    std::vector<char> frame = fuzz::Exact(data + 1, size - 1);
    char* out = nullptr;
    unsigned int cap = 0, len = 0;
    int rc = dets[m][ids]->Detect(frame.data(), (unsigned int)frame.size(), out, cap, len);
    Check(rc == 0 || rc == -1 || rc == JpgHdrDetector::kDetectNoFrame);
    if (rc == 0) Check(len <= cap && len <= frame.size());
    delete[] out;
    return 0;
}
