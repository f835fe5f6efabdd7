// JVC cameras.
//
// Wire format: motion rides in the comment segment of every JPEG frame, byte
// 233 '1' while motion is detected. Inputs are asked one per request,
// "/api/param?peripheral.input_pin.pin(<n>).status" (n from 1), answered
// "...status=make&200" while the contact is made.
#include <string>

#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/jpgvendordetector.h"

namespace {

std::string InputPath(int port) {
    return "/api/param?peripheral.input_pin.pin(" + std::to_string(port + 1) + ").status";
}

}  // namespace

// Never shares: its kind stays 0.
JPG_CLASS(JvcJpgMD, JpgSegment(JPG_COM, streamrule::JvcMotion).Alone());
// Answers for one input per request.
CGI_CLASS(JvcDI, CgiEachInput(InputPath, cgirule::JvcInput));
