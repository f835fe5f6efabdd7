// Transport base for cameras that write their event state into one marker
// segment (an APPn segment or the comment) of every JPEG frame. Frames come
// from the recorder's live-stream FIFO or from the recorder's media fetch of
// the camera's MJPEG stream; libjpeg parses the header only, the wanted
// segment's payload goes to the vendor's tests (CamDetector::IsTrig, the
// payload's length as the length), for this detector and for every
// JPEG-header follower of the camera. A frame that is no data (kDetectNoFrame)
// is not reported; a failed fetch, a frame without the segment, and a stream
// that brought no usable frame within the time-out (once) are reported as no
// alarm.
#ifndef CAMDET_JPGHDRDETECTOR_H
#define CAMDET_JPGHDRDETECTOR_H

#include <string>
#include <vector>

#include "camdet/core/eventdetector.h"
#include "interface/jpegsource.h"
#include "interface/mediafetch.h"

class JpgHdrDetector : public CamDetector {
public:
    // marker: 0xE0..0xEF (APP0..APP15) or 0xFE (comment); byFifo: frames
    // from the recorder's FIFO, else fetched. Polling period 100 ms.
    JpgHdrDetector(DET_BASE_ATTR attr, int marker, bool byFifo);
    ~JpgHdrDetector() override;

    // The loop: the FIFO's or the fetch's, as the construction said.
    int DetMain() override;
    // Where to fetch frames from; 0 on success. Not asked with the FIFO.
    virtual int GetPathPort(std::string& path, int& port) = 0;

    // The prefix a payload must begin with (one value per byte); replaces
    // any earlier one. cnt 0 clears it.
    void SetDataIds(const int* ids, unsigned int cnt);
    // Copies the payload of the wanted segment of one JPEG image (len bytes)
    // into out (capacity cap, grown to exactly the payload size when too
    // small, never shrunk; cap 0 after a failed allocation); payloadLen is
    // its length. 0 on success; -1 for bad arguments, no such segment, no
    // segment with the data-id prefix, or no memory; kDetectNoFrame when the
    // bytes are no readable frame header (not a JPEG, truncated or corrupt,
    // more than a camera's count of segments) or the detector is stopping.
    // Never reads beyond len; the cost is linear in len.
    int Detect(char* img, unsigned int len, char*& out, unsigned int& cap, unsigned int& payloadLen);
    // A frame that cannot be read is no data: the loops leave the status as
    // it is (a camera's truncated frame must not read as "no motion").
    static constexpr int kDetectNoFrame = -2;
    // From m on, the first saved segment whose payload begins with the
    // data-id bytes (the first one when there are none); m points to it.
    bool DetectDataId(jpeg_marker_struct*& m);
    // Fetches the next frame through the media fetch into buf (capacity cap,
    // grown as Detect's); size is the frame's length. 0 on success, -1 after
    // the failure's pause (10 s for no frame, 3 s for a failed copy), 1 when
    // the camera ended a stream that ran (no pause: nothing was lost).
    int FetchImage(char*& buf, unsigned int& cap, unsigned int& size);
    int GetMarker() const { return m_Marker; }
    bool IsByFifo() const { return m_blByFifo; }
    unsigned int GetDataIdCnt() const { return m_DataIdCnt; }

    // The loops' set-up and one pass each (the loop is CamDetector::RunLoop).
    int DetMainByFifo();
    int DetMainByMFetch();

protected:
    bool m_blByFifo;
    int m_Marker;
    unsigned int m_DataIdCnt;
    int* m_pDataIds;
    std::vector<unsigned char> m_Prefix;  // a candidate's first m_DataIdCnt bytes
    MFHandler m_MFHandler;
};

#endif  // CAMDET_JPGHDRDETECTOR_H
