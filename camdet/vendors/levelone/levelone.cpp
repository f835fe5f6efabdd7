// LevelOne cameras.
//
// Wire format, by group:
//   GR1  inputs polled, "io/query_io.cgi" answers "input_<n>=1" (n from 1).
//   GR2  motion over its own loop (levelonegr2detector.h).
//   GR4  motion and inputs as text lines on a TCP connection to the camera
//        API's detection port: "...<level hex>$..." (the two hexadecimal
//        characters before the last "$" the motion level, against the
//        recorder's threshold, motion parameter key 3), the input bits at +7
//        and +11 after the last "$"; tampering pushed on the multipart stream
//        "/cgi-bin/admin/eventdata.cgi?action=monitor&group=T0" ("Triggered=1").
//        One model, and cameras that say "DI_CGI_QUERY", are polled for input 1
//        instead, "cgi-bin/io/input.cgi?checkactive=1" ("Input1=active").
//   GR5  inputs polled, "cgi-bin/config_dido.cgi?Act=1" answers "Di_Stats=<v>";
//        what an input in alarm reads differs per model: the camera API tells
//        it before the first poll, and without it the detector never polls.
#include <string>

#include "camdet/transport/binvendordetector.h"
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

namespace {

int AlarmValue(CameraAPI* api, std::string& diTrigValue) {
    int v = 0;
    if (!api || api->GetCamDiTrigValue(v) != 0) return -1;
    diTrigValue = std::to_string(v);
    return 0;
}

}  // namespace

CGI_CLASS(LevelOneGr1DI, CgiInput("io/query_io.cgi", cgirule::LevelOneGr1Input));
BIN_CLASS(LevelOneGr4MD,
          BinSocketLines(64, binrule::LevelOneGr4Motion).AloneWithoutKind().Timeout(3).Reads(BIN_IN_MD_PARAMS));
BIN_CLASS(LevelOneGr4DI, BinSocketLines(64, binrule::LevelOneGr4Input).Kind(DET_TYPE_DI).Alone().Timeout(3));
// Only input 1 is asked for; it stands for every input.
CGI_CLASS(LevelOneGr4DICgiQuery,
          CgiInput("cgi-bin/io/input.cgi?checkactive=1", cgirule::LevelOneGr4InputQuery).Every(500));
MP_CLASS(LevelOneGr4TD, MpTamper("/cgi-bin/admin/eventdata.cgi?action=monitor&group=T0", mprule::LevelOneGr4Tamper));
CGI_CLASS(LevelOneGr5DI,
          CgiInput("cgi-bin/config_dido.cgi?Act=1", cgirule::LevelOneGr5Input).Every(500).Prepare(AlarmValue));
