// Typed class definitions: what a factory table points at. A definition is
// made from the class type by a macro, next to the class (in its family's
// file): its name (the class name the recorder sees through the detector's
// run-time type) and the type come from the same token, so a definition
// without its class does not compile, and the tables point at definitions,
// never at names to be looked up.
#ifndef CAMDET_CORE_DETCLASS_H
#define CAMDET_CORE_DETCLASS_H

#include "camdet/core/eventdetector.h"

// The constructor arguments a dispatch row may decide besides the record.
struct DetArgs {
    bool b = false;  // stream-FIFO flag or capability flag
    int kind = 0;    // detection kind, for classes that serve several kinds
    int group = 0;   // VIVO_FUNC_GR / PANA_FUNC_GR value
};

// Creates the class with `new` on a copy of the record; the caller owns it.
typedef BRObjectBase* (*DetMaker)(const DET_BASE_ATTR& attr, const DetArgs& args);

struct DetClassDef {
    const char* name;  // the class name
    DetMaker make;
};

// Constructor shapes.
template <typename T>
BRObjectBase* MakeDet(const DET_BASE_ATTR& attr, const DetArgs&) {
    return new T(attr);
}
// (attr, args): the row-driven classes, which read what their row needs.
template <typename T>
BRObjectBase* MakeDetArgs(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, args);
}

// Defines detclass::Name, made from class ::Name with the given constructor
// shape. Used once per class, after the class, at namespace scope; the
// factory table declares the definitions it points at.
#define CAMDET_DET_CLASS(Name, Maker)                  \
    namespace detclass {                               \
    extern const DetClassDef Name;                     \
    const DetClassDef Name = {#Name, &Maker< ::Name>}; \
    }                                                  \
    static_assert(true, "")

#endif  // CAMDET_CORE_DETCLASS_H
