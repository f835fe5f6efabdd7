// Camera-API dispatch: the four factory tables (key rows in comparison order,
// each with the condition that picks a class and its extra arguments) and the
// registry that turns a class name into a constructed detector.
#ifndef CAMDET_DETFACTORY_H
#define CAMDET_DETFACTORY_H

#include <string>

#include "camdet/core/eventdetector.h"

// What a row decided: the class and its extra constructor arguments.
struct DetChoice {
    const char* cls = nullptr;  // null: the factory yields no detector
    bool b = false;             // stream-FIFO flag or capability flag
    int kind = 0;               // detection kind passed to multi-kind classes
    int group = 0;              // VIVO_FUNC_GR / PANA_FUNC_GR value
};

// The values a factory reads before choosing.
struct FactoryInputs {
    std::string api;
    int fmt = 0;
    bool sf = false;
    std::string model;  // DI factory only
    CameraCap* cap = nullptr;
};

typedef DetChoice (*DetRule)(const FactoryInputs&);

struct DispatchRow {
    const char* keys[6];  // null-terminated
    DetRule rule;
};

// The table of one detection kind (1-4), in comparison order; rows counts them.
const DispatchRow* GetDispatchTable(int kind, int& rows);

// Walks the kind's table: the first equal key decides (null class when the
// row's condition says so, or when no key is equal).
DetChoice ChooseDetector(int kind, const FactoryInputs& in);

typedef BRObjectBase* (*DetMaker)(const DET_BASE_ATTR& attr, const DetChoice& choice);

struct DetClassEntry {
    const char* cls;
    DetMaker make;
};

// Class name -> constructor. The default registry lists every class built so
// far; a class not listed yields null.
class DetClassRegistry {
public:
    virtual ~DetClassRegistry() {}
    virtual BRObjectBase* Create(const DetChoice& choice, const DET_BASE_ATTR& attr) const;
    static const DetClassRegistry& Default();
};

// The whole factory algorithm for one kind, with the given class registry.
// eventBufMap is used by the DI factory only.
BRObjectBase* CreateDetector(int kind, BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                             BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                             BRObjectBase* rtpFetch, bool flag, const DetClassRegistry& registry);

// Registry rows live in detclasses.cpp; constructor shapes as makers.
template <typename T>
BRObjectBase* MakeDet(const DET_BASE_ATTR& attr, const DetChoice&) {
    return new T(attr);
}
template <typename T>
BRObjectBase* MakeDetB(const DET_BASE_ATTR& attr, const DetChoice& c) {
    return new T(attr, c.b);
}
template <typename T>
BRObjectBase* MakeDetBKind(const DET_BASE_ATTR& attr, const DetChoice& c) {
    return new T(attr, c.b, c.kind);
}
template <typename T>
BRObjectBase* MakeDetBKindGroup(const DET_BASE_ATTR& attr, const DetChoice& c) {
    return new T(attr, c.b, c.kind, c.group);
}

const DetClassEntry* GetDetClassTable(int& rows);

#endif  // CAMDET_DETFACTORY_H
