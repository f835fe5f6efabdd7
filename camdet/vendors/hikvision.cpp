// HikVision cameras.
//
// Wire format: one alert stream for all four kinds, small XML notifications
// pushed as multipart parts:
//   <EventNotificationAlert ...>
//     <inputIOPortID>2</inputIOPortID>          (IO events only)
//     <eventType>VMD</eventType>                (IO, VMD, shelteralarm, audioexception, videoloss, ...)
//     <eventState>active</eventState>           (active / inactive)
//   </EventNotificationAlert>
// Quiet cameras send "videoloss inactive" heartbeats between events. Older
// firmware serves it on "/Event/notification/alertStream" (edge or level
// reports, "EDGE_TRIGGER_EVENT" says which; tampering sampled), ISAPI firmware
// on "/ISAPI/Event/notification/alertStream", where a state holds until the
// eleventh part of another type.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kOldPath[] = "/Event/notification/alertStream";
constexpr char kIsapiPath[] = "/ISAPI/Event/notification/alertStream";

}  // namespace

MP_CLASS(HikVisionMD, MpMotion(kOldPath, mprule::HikVisionMotion).Shared().Reads(MP_IN_EDGE));
MP_CLASS(HikVisionDI, MpInput(kOldPath, mprule::HikVisionInput).Shared().Reads(MP_IN_EDGE));
MP_CLASS(HikVisionTD, MpTamper(kOldPath, mprule::HikVisionTamper).Shared());
MP_CLASS(HikVisionV3MD, MpMotion(kIsapiPath, mprule::HikVisionV3Motion).Shared());
MP_CLASS(HikVisionV3DI, MpInput(kIsapiPath, mprule::HikVisionV3Input).Shared());
MP_CLASS(HikVisionV3TD, MpTamper(kIsapiPath, mprule::HikVisionV3Tamper).Shared());
MP_CLASS(HikVisionAD, MpAudio(kIsapiPath, mprule::HikVisionAudio).Shared());
