// IQeye cameras.
//
// Wire format: server push of snapshots whose trigger rides in each part's
// Pragma header ("Pragma: trigger=motion", "trigger=input"), or, on V2
// firmware, "now.motiondata" parts of "window=0;level=30;threshold=20" lines.
#include "camdet/transport/mpvendordetector.h"

// Server push of snapshots; the trigger rides in the part's Pragma header.
MP_CLASS(IQeyeV1MD, MpMotion("now.jpg?snap=spush&pragma=motion", mprule::IQeyeV1Motion).PragmaLines());
MP_CLASS(IQeyeV2MD, MpMotion("now.motiondata", mprule::IQeyeV2Motion));
MP_CLASS(IQeyeDI, MpInput("now.jpg?snap=spush&pragma=trigger&noimage", mprule::IQeyeInput).PragmaLines());
