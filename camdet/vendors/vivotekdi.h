// Vivotek inputs of the newer firmware: one query answers every input
// ("di0=0\ndi1=1\n..."); a video server (group 4) reports the one input of
// the channel the recorder watches.
#ifndef CAMDET_VIVOTEKDI_H
#define CAMDET_VIVOTEKDI_H

#include <string>

#include "camdet/rules/vivotekrules.h"
#include "camdet/transport/cgiquerydetector.h"

class Vivotek8DI : public CgiQueryDetector {
public:
    Vivotek8DI(DET_BASE_ATTR attr, VIVO_FUNC_GR group);
    // One query per second for the whole list; a failed query leaves every
    // input as it was.
    int DetMain() override;
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;

    int GetDiOffset() const { return m_DiOffset; }
    int GetDICnt() const { return m_DICnt; }

private:
    int m_DiOffset;  // number of the first camera input this detector reports
    VIVO_FUNC_GR m_FuncGr;
};

#endif  // CAMDET_VIVOTEKDI_H
