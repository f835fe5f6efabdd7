// Storage Options cameras.
//
// Wire format: polled, "get_status.cgi" answers "alarm_status=N;" (1 motion,
// 2 input, 3 both). One poll serves motion and input.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kStatus[] = "get_status.cgi";

}  // namespace

CGI_CLASS(StorageMD, CgiMotion(kStatus, cgirule::StorageMotion).Shared());
CGI_CLASS(StorageDI, CgiInput(kStatus, cgirule::StorageInput).Shared());
