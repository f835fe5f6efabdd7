// EverFocus cameras.
//
// Wire format: "PSIA/Custom/Everfocus/events" answers an endless HTTP
// response of 308-byte binary records: byte 56 is 1 while motion is detected,
// byte 48 while the input is in alarm. Motion and input share the stream.
#include "camdet/transport/binvendordetector.h"

namespace {

constexpr char kEverFocusPath[] = "PSIA/Custom/Everfocus/events";

}  // namespace

BIN_CLASS(EverFocusMD, BinHttpRecords(kEverFocusPath, 308, binrule::EverFocusMotion));
BIN_CLASS(EverFocusDI, BinHttpRecords(kEverFocusPath, 308, binrule::EverFocusInput).Kind(DET_TYPE_DI));
