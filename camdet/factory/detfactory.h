// Camera-API dispatch: one table with a row per group of camera API keys,
// each row giving what the motion, input, tampering and audio factories
// create for its keys, and the factory algorithm over it.
#ifndef CAMDET_DETFACTORY_H
#define CAMDET_DETFACTORY_H

#include <string>

#include "camdet/core/detclass.h"

// What a row decided for one factory: the class and its extra arguments.
struct DetChoice {
    const DetClassDef* def = nullptr;  // null: the factory yields no detector
    DetArgs args;
};

// The values a factory reads before choosing.
struct FactoryInputs {
    int kind = 0;  // the factory's detection kind (1-4)
    std::string api;
    int fmt = 0;
    bool sf = false;
    std::string model;  // DI factory only
    CameraCap* cap = nullptr;
};

// A choice that depends on the stream format, the model or the capabilities.
typedef DetChoice (*DetCondition)(const FactoryInputs& in);

// What a row gives one factory: a class created with the record alone, or a
// condition that decides the class and its extra arguments; neither: no
// detector of that kind for these keys.
struct DetPick {
    const DetClassDef* def;
    DetCondition cond;
};

struct DispatchRow {
    const char* keys[6];  // null-terminated; every key is in exactly one row
    DetPick md, di, td, ad;
};

// The table; rows counts it.
const DispatchRow* GetDispatchTable(int& rows);
// A row's pick for a detection kind (1-4).
const DetPick& PickOf(const DispatchRow& row, int kind);
// The row whose key equals in.api exactly decides for in.kind; no such row,
// or a condition that excludes the inputs: no class.
DetChoice ChooseDetector(const FactoryInputs& in);

// The construction record from a factory's arguments and its checks: false
// (nothing logged, nothing called on the camera) when a recorder object is
// missing, or for DI when the camera has no input. eventBufMap is read by the
// DI factory only.
bool MakeDetAttr(int kind, BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                 BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch,
                 DET_BASE_ATTR& attr);

// The values the factory of `kind` reads from a checked record: the API key,
// the stream-FIFO flag, the model (DI only) and the stream format, in that
// order. A mediator function that cannot be called logs and reads as 0 or "".
FactoryInputs ReadFactoryInputs(int kind, const DET_BASE_ATTR& attr);

// The whole factory algorithm for one kind: the record, the inputs, the
// camera API's preparation for the kind (unless flag), then the class the
// table chooses, created with `new` and not started; null when the record
// fails its checks or the table gives no class.
BRObjectBase* CreateDetector(int kind, BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                             BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                             BRObjectBase* rtpFetch, bool flag);

#endif  // CAMDET_DETFACTORY_H
