#include "camdet/vendors/avtechdetector.h"

#include "camdet/rules/avtechrules.h"

AvtechDetector::AvtechDetector(DET_BASE_ATTR attr, int kind) : RtpHdrDetector(attr) { LinkShareDet(kind); }

int AvtechDetector::GetPathPort(std::string& path, int& port) {
    path.clear();
    port = 0;
    return 0;
}

bool AvtechDetector::IsTrig(char* data, unsigned int len, int& value) {
    return avtechrule::AVTECHMD(data, len, value);
}

bool AvtechDetector::IsTrig(int port, char* data, unsigned int len, int& value) {
    return avtechrule::AVTECHDI(port, data, len, value);
}
