// The library's entry points: the detector function table, the dispatching
// factories and release functions, and the exported functions the recorder
// loads by name.
#ifndef CAMDET_API_ENTRYPOINTS_H
#define CAMDET_API_ENTRYPOINTS_H

#include <map>

#include "camdet/core/eventdetector.h"

// Function table of the detectors (IDs 0-5).
std::map<int, MemFuncBase*> GenDetectorFuncTable();
std::map<int, MemFuncBase*>* GetDetectorFuncTable();

BRObjectBase* NewMotionDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                           BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag);
BRObjectBase* NewDigiInputDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                              BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                              BRObjectBase* rtpFetch, bool flag);
BRObjectBase* NewTamperingDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                              BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag);
BRObjectBase* NewAudioDet(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                          BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag);
void ReleaseMotionDet(BRObjectBase* obj);
void ReleaseDigiInputDet(BRObjectBase* obj);
void ReleaseTamperingDet(BRObjectBase* obj);
void ReleaseAudioDet(BRObjectBase* obj);

// Exported entry points.
BRObjectBase* MotionDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                               BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch,
                               bool flag);
BRObjectBase* DigitalDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                                BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                                BRObjectBase* rtpFetch, bool flag);
BRObjectBase* TamperingDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                                  BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch,
                                  bool flag);
BRObjectBase* AudioDetFactory(BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                              BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch, bool flag);
void ReleaseMotionDetBRObj(BRObjectBase*& obj);
void ReleaseDigitalDetBRObj(BRObjectBase*& obj);
void ReleaseTamperingDetBRObj(BRObjectBase*& obj);
void ReleaseAudioDetBRObj(BRObjectBase*& obj);

#endif  // CAMDET_API_ENTRYPOINTS_H
