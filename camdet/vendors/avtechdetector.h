// AVTECH cameras: motion and alarm-input state as text in the RTP header
// extension of the live stream (camdet/rules/avtechrules.h), read from the
// recorder's shared fetcher. The two classes differ only in kind and test.
#ifndef CAMDET_AVTECHDETECTOR_H
#define CAMDET_AVTECHDETECTOR_H

#include <string>

#include "camdet/transport/rtphdrdetector.h"

class AvtechDetector : public RtpHdrDetector {
public:
    // kind: DET_TYPE_MD or DET_TYPE_DI; links for sharing with it.
    AvtechDetector(DET_BASE_ATTR attr, int kind);
    // The recorder's shared fetcher: empty path, port 0.
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* data, unsigned int len, int& value) override;
    bool IsTrig(int port, char* data, unsigned int len, int& value) override;
};

#define AVTECH_CLASS(Name, Kind)                                              \
    class Name : public AvtechDetector {                                      \
    public:                                                                   \
        explicit Name(DET_BASE_ATTR attr) : AvtechDetector(attr, Kind) {}     \
    }

AVTECH_CLASS(AVTECHMD, DET_TYPE_MD);
AVTECH_CLASS(AVTECHDI, DET_TYPE_DI);

#endif  // CAMDET_AVTECHDETECTOR_H
