#include "camdet/api/entrypoints.h"

#include "camdet/factory/detfactory.h"
#include "interface/detectorfuncs.h"

// ---------------------------------------------------------------- function table

std::map<int, MemFuncBase*> GenDetectorFuncTable() {
    static MemFunc<int, DetectorBase> start(&DetectorBase::Start);
    static MemFunc<int, DetectorBase> stop(&DetectorBase::Stop);
    static MemFunc<bool, DetectorBase> isActivated(&DetectorBase::IsActivated);
    static MemFunc<void, DetectorBase, int, int, int, int> setMDParam(&DetectorBase::SetMDParam);
    static MemFunc<bool, DetectorBase> isShareEnabled(&DetectorBase::IsShareEnabled);
    static MemFunc<void, DetectorBase, int, const std::map<int, std::string>&, int> setDetParam(
        &DetectorBase::SetDetParam);
    std::map<int, MemFuncBase*> table;
    table[DET_FUNC_START] = &start;
    table[DET_FUNC_STOP] = &stop;
    table[DET_FUNC_IS_ACTIVATED] = &isActivated;
    table[DET_FUNC_SET_MD_PARAM] = &setMDParam;
    table[DET_FUNC_IS_SHARE_ENABLED] = &isShareEnabled;
    table[DET_FUNC_SET_DET_PARAM] = &setDetParam;
    return table;
}

namespace {
std::map<int, MemFuncBase*> g_DetectorFuncTable = GenDetectorFuncTable();
}

std::map<int, MemFuncBase*>* GetDetectorFuncTable() { return &g_DetectorFuncTable; }

// ---------------------------------------------------------------- entry points

BRObjectBase* NewMotionDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                           BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag) {
    return CreateDetector(DET_TYPE_MD, camMediator, cameraApi, eventBuf, nullptr, streamFifo, cameraCap, rtpFetch,
                          flag);
}

BRObjectBase* NewDigiInputDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                              BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                              BRObjectBase* rtpFetch, bool flag) {
    return CreateDetector(DET_TYPE_DI, camMediator, cameraApi, eventBuf, eventBufMap, streamFifo, cameraCap,
                          rtpFetch, flag);
}

BRObjectBase* NewTamperingDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                              BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag) {
    return CreateDetector(DET_TYPE_TD, camMediator, cameraApi, eventBuf, nullptr, streamFifo, cameraCap, rtpFetch,
                          flag);
}

BRObjectBase* NewAudioDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                          BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag) {
    return CreateDetector(DET_TYPE_AD, camMediator, cameraApi, eventBuf, nullptr, streamFifo, cameraCap, rtpFetch,
                          flag);
}

namespace {
void ReleaseDet(BRObjectBase* obj) {
    if (!obj) return;
    DetectorBase* det = dynamic_cast<DetectorBase*>(obj);
    if (!det) return;
    det->Stop();
    // Leave the camera's sharing before any part is destroyed: the owner's
    // thread may be feeding this detector right now.
    CamDetector* cam = dynamic_cast<CamDetector*>(det);
    if (cam) cam->UnlinkShareDet();
    delete det;
}
}  // namespace

void ReleaseMotionDet(BRObjectBase* obj) { ReleaseDet(obj); }
void ReleaseDigiInputDet(BRObjectBase* obj) { ReleaseDet(obj); }
void ReleaseTamperingDet(BRObjectBase* obj) { ReleaseDet(obj); }
void ReleaseAudioDet(BRObjectBase* obj) { ReleaseDet(obj); }

#define CAMDET_EXPORT __attribute__((visibility("default")))

CAMDET_EXPORT BRObjectBase* MotionDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi,
                                             BRObjectBase* eventBuf, BRObjectBase* streamFifo,
                                             BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag) {
    return NewMotionDet(camMediator, cameraApi, eventBuf, streamFifo, cameraCap, rtpFetch, flag);
}

CAMDET_EXPORT BRObjectBase* DigitalDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi,
                                              BRObjectBase* eventBuf, BRObjectBase* eventBufMap,
                                              BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                                              BRObjectBase* rtpFetch, bool flag) {
    return NewDigiInputDet(camMediator, cameraApi, eventBuf, eventBufMap, streamFifo, cameraCap, rtpFetch, flag);
}

CAMDET_EXPORT BRObjectBase* TamperingDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi,
                                                BRObjectBase* eventBuf, BRObjectBase* streamFifo,
                                                BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag) {
    return NewTamperingDet(camMediator, cameraApi, eventBuf, streamFifo, cameraCap, rtpFetch, flag);
}

CAMDET_EXPORT BRObjectBase* AudioDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi,
                                            BRObjectBase* eventBuf, BRObjectBase* streamFifo,
                                            BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag) {
    return NewAudioDet(camMediator, cameraApi, eventBuf, streamFifo, cameraCap, rtpFetch, flag);
}

CAMDET_EXPORT void ReleaseMotionDetBRObj(BRObjectBase*& obj) {
    if (obj) ReleaseMotionDet(obj);
    obj = nullptr;
}

CAMDET_EXPORT void ReleaseDigitalDetBRObj(BRObjectBase*& obj) {
    if (obj) ReleaseDigiInputDet(obj);
    obj = nullptr;
}

CAMDET_EXPORT void ReleaseTamperingDetBRObj(BRObjectBase*& obj) {
    if (obj) ReleaseTamperingDet(obj);
    obj = nullptr;
}

CAMDET_EXPORT void ReleaseAudioDetBRObj(BRObjectBase*& obj) {
    if (obj) ReleaseAudioDet(obj);
    obj = nullptr;
}
