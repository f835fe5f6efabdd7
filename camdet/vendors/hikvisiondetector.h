// HikVision alert streams: one small XML notification per part on a
// long-lived response (the part's tests are in camdet/rules/hikrules.h).
// Older firmware serves it on "/Event/notification/alertStream", ISAPI firmware
// on "/ISAPI/Event/notification/alertStream". One stream serves all four kinds.
#ifndef CAMDET_HIKVISIONDETECTOR_H
#define CAMDET_HIKVISIONDETECTOR_H

#include <string>

#include "camdet/rules/hikrules.h"
#include "camdet/transport/multipartdetector.h"

// Common to the seven classes: timeout 10 s, default HTTP version, body mode
// 0, stream sharing linked with the kind, port from the mediator.
class HikVisionDetector : public MultipartDetector {
public:
    HikVisionDetector(DET_BASE_ATTR attr, int kind, const char* path);
    int GetPathPort(std::string& path, int& port) override;

private:
    const char* m_Path;
};

class HikVisionMD : public HikVisionDetector {
public:
    explicit HikVisionMD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    const HIK_HOLD_STATE& State() const { return m_State; }
    void ClearHeldState() override { m_State = HIK_HOLD_STATE(); }

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionDI : public HikVisionDetector {
public:
    explicit HikVisionDI(DET_BASE_ATTR attr);
    bool IsTrig(int port, char* buf, unsigned int size, int& level) override;
    void ClearHeldState() override { m_State = HIK_PORT_STATE(m_DICnt); }

private:
    HIK_PORT_STATE m_State;
};

class HikVisionTD : public HikVisionDetector {
public:
    explicit HikVisionTD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    void ClearHeldState() override { m_State = HIK_HOLD_STATE(); }

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionV3MD : public HikVisionDetector {
public:
    explicit HikVisionV3MD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    void ClearHeldState() override { m_State = HIK_HOLD_STATE(); }

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionV3DI : public HikVisionDetector {
public:
    explicit HikVisionV3DI(DET_BASE_ATTR attr);
    bool IsTrig(int port, char* buf, unsigned int size, int& level) override;
    void ClearHeldState() override { m_State = HIK_PORT_STATE(m_DICnt); }

private:
    HIK_PORT_STATE m_State;
};

class HikVisionV3TD : public HikVisionDetector {
public:
    explicit HikVisionV3TD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    void ClearHeldState() override { m_State = HIK_HOLD_STATE(); }

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionAD : public HikVisionDetector {
public:
    explicit HikVisionAD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    void ClearHeldState() override { m_State = HIK_HOLD_STATE(); }

private:
    HIK_HOLD_STATE m_State;
};

#endif  // CAMDET_HIKVISIONDETECTOR_H
