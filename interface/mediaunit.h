// Media units of the recorder's live-stream FIFO (StreamFifoHandler function
// 0 hands them out): one encoded frame each, with the position to pass to
// the next FIFO request. Reached by function ID through the recorder's
// table; every unit handed out is given back through ReleaseMediaUnit.
#ifndef INTERFACE_MEDIAUNIT_H
#define INTERFACE_MEDIAUNIT_H

#include "interface/handlerutils.h"

// Media unit function IDs; none takes arguments.
enum MEDIA_UNIT_FUNC {
    MEDIA_UNIT_FUNC_DATA = 0,      // unsigned char* (): the frame's bytes, valid until the unit is released
    MEDIA_UNIT_FUNC_LENGTH = 1,    // unsigned long (): their count
    MEDIA_UNIT_FUNC_POSITION = 2,  // int (): the position to ask the FIFO with next
    MEDIA_UNIT_FUNC_COUNT = 3,
};

// Published by the recorder (libcamhost).
FuncTable* GetMediaUnitFuncTable();
// Gives a unit back to the recorder; unit becomes null. A null unit, or an
// object that is not a unit, is left alone.
void ReleaseMediaUnit(BRObjectBase*& unit);

// Handler on one media unit (borrowed: release the unit itself afterwards).
class MediaUnitHandler : public BRSlotHandler<MEDIA_UNIT_FUNC_COUNT> {
public:
    MediaUnitHandler() {}
    explicit MediaUnitHandler(BRObjectBase* unit) { SetHandlerBase(unit, GetMediaUnitFuncTable(), "MediaUnitHandler"); }
    unsigned char* Data() const { return Call<unsigned char*>(MEDIA_UNIT_FUNC_DATA); }
    unsigned long Length() const { return Call<unsigned long>(MEDIA_UNIT_FUNC_LENGTH); }
    int Position() const { return Call<int>(MEDIA_UNIT_FUNC_POSITION); }
};

#endif  // INTERFACE_MEDIAUNIT_H
