// The detector function table the library publishes (GetDetectorFuncTable):
// how the recorder starts, stops and parameterises a detector it holds only as
// a BRObjectBase*. Each ID names one member of DetectorBase; the comment gives
// the signature a caller's slot must be typed with.
#ifndef INTERFACE_DETECTORFUNCS_H
#define INTERFACE_DETECTORFUNCS_H

enum DET_FUNC {
    DET_FUNC_START = 0,             // int (): 0, or -1 when already running
    DET_FUNC_STOP = 1,              // int (): 0, or -2 when not running; joins the thread
    DET_FUNC_IS_ACTIVATED = 2,      // bool (): the run flag; while running also applies pending parameters
    DET_FUNC_SET_MD_PARAM = 3,      // void (int, int, int, int): motion parameters, keys 1, 3, 4, 2
    DET_FUNC_IS_SHARE_ENABLED = 4,  // bool (): whether this detector's camera connection is shared
    // void (int kind, const std::map<int, std::string>& params, int arg): parameters of one
    // kind (DET_TYPE_*); arg goes with the input parameter.
    DET_FUNC_SET_DET_PARAM = 5,
    DET_FUNC_COUNT = 6,
};

#endif  // INTERFACE_DETECTORFUNCS_H
