// The simulated camera families: one row per family. A handler lives in its
// family file (sim_polling.cpp, sim_multipart*.cpp, sim_onvif*.cpp); add its
// declaration and its row here, nothing else.
#include "tools/camsim/simtypes.h"

namespace camsim {

// Polling families (sim_polling.cpp).
Response HandleYcam(const Request&, const SimContext&);
Response HandleArecont(const Request&, const SimContext&);
Response HandleSanyo(const Request&, const SimContext&);
Response HandleMessoa(const Request&, const SimContext&);
Response HandleMessoaPro(const Request&, const SimContext&);
Response HandleMessoaSdk05(const Request&, const SimContext&);
Response HandleMessoa03(const Request&, const SimContext&);
Response HandleCompro(const Request&, const SimContext&);
Response HandleHunt(const Request&, const SimContext&);
Response HandleBrickcom(const Request&, const SimContext&);
Response HandleStorage(const Request&, const SimContext&);
Response HandleZavio(const Request&, const SimContext&);
Response HandleCanon(const Request&, const SimContext&);
Response HandleFoscam(const Request&, const SimContext&);
Response HandleFoscamV2(const Request&, const SimContext&);
Response HandleBasler(const Request&, const SimContext&);
Response HandleItx(const Request&, const SimContext&);
Response HandleRaylios(const Request&, const SimContext&);
Response HandleHiSharp(const Request&, const SimContext&);
Response HandleBosch(const Request&, const SimContext&);
Response HandleBeward(const Request&, const SimContext&);
Response HandleSiemens(const Request&, const SimContext&);
Response HandleShany(const Request&, const SimContext&);
Response HandleNexcom(const Request&, const SimContext&);
Response HandleGrandStream(const Request&, const SimContext&);
Response HandleTruen(const Request&, const SimContext&);
Response HandleAirlive(const Request&, const SimContext&);
Response HandleLevelOneGr5(const Request&, const SimContext&);
Response HandleLevelOneGr1(const Request&, const SimContext&);
Response HandleLevelOneGr4(const Request&, const SimContext&);
Response HandleJvc(const Request&, const SimContext&);
Response HandleEdimax(const Request&, const SimContext&);
Response HandleActi(const Request&, const SimContext&);
Response HandlePixord(const Request&, const SimContext&);
Response HandleMessoaA02(const Request&, const SimContext&);
Response HandleStarDot(const Request&, const SimContext&);

// Multipart event-stream families (sim_multipart.cpp).
Response HandleHikVision(const Request&, const SimContext&);
Response HandlePsia(const Request&, const SimContext&);
Response HandleSony(const Request&, const SimContext&);
Response HandleSamsung(const Request&, const SimContext&);
Response HandleHitron(const Request&, const SimContext&);
Response HandleAlinking(const Request&, const SimContext&);
Response HandleLilin(const Request&, const SimContext&);
Response HandleAcumen(const Request&, const SimContext&);
Response HandleDLinkV9(const Request&, const SimContext&);
Response HandleOncam(const Request&, const SimContext&);
Response HandleEtrovision(const Request&, const SimContext&);
Response HandlePanasonic(const Request&, const SimContext&);
Response HandleIpux(const Request&, const SimContext&);
Response HandleIQeye(const Request&, const SimContext&);
Response HandleEdimaxPush(const Request&, const SimContext&);

// Pushed motion of cameras whose inputs are polled (sim_multipart.cpp).
Response HandleAirlivePush(const Request&, const SimContext&);
Response HandleZavioPush(const Request&, const SimContext&);
Response HandleEdimaxVPPush(const Request&, const SimContext&);
Response HandlePixordPush(const Request&, const SimContext&);
Response HandleObjectSizePush(const Request&, const SimContext&);
Response HandleLevelOneGr4Push(const Request&, const SimContext&);

// Events in JPEG frames, with the same cameras' polled inputs (sim_jpeg.cpp).
Response HandleAxis(const Request&, const SimContext&);
Response HandleVivotek(const Request&, const SimContext&);
Response HandleBaslerJpeg(const Request&, const SimContext&);
Response HandleJvcJpeg(const Request&, const SimContext&);
Response HandlePanasonicJpeg(const Request&, const SimContext&);

// Events in the RTP header extension; nothing over HTTP (sim_rtp.cpp).
Response HandleAvtech(const Request&, const SimContext&);

// ONVIF device (sim_onvif.cpp).
Response HandleOnvif(const Request&, const SimContext&);

// Binary and line event streams, own-loop families (sim_binstream.cpp).
Response HandleDahua(const Request&, const SimContext&);
Response HandleDLinkNotify(const Request&, const SimContext&);
Response HandleEverFocus(const Request&, const SimContext&);
Response HandleYcamArm(const Request&, const SimContext&);
Response HandleMobotix(const Request&, const SimContext&);
Response HandleLevelOneGr2(const Request&, const SimContext&);
void RawLevelOneGr2(RawConn&);
void RawLevelOneGr4(RawConn&);
void RawActi(RawConn&);

// Frames for a recorder's stream FIFO (sim_fifoframes.cpp).
Response HandleIpuxMjpeg(const Request&, const SimContext&);
Response HandleStarDotMjpeg(const Request&, const SimContext&);

namespace {

// Keys per family, null-terminated.
const char* const kOnvif[] = {"onvif", "geovision", nullptr};
const char* const kYcam[] = {"ycamv2", nullptr};
const char* const kArecont[] = {"arecont", nullptr};
const char* const kSanyo[] = {"sanyohd2v1", "sanyohd2v2", "sanyohdv5", nullptr};
const char* const kMessoa[] = {"messoa", nullptr};
const char* const kMessoaPro[] = {"messoa-pro", "messoav2", nullptr};
const char* const kMessoaSdk05[] = {"messoasdk05", nullptr};
const char* const kMessoa03[] = {"messoa03", nullptr};
const char* const kCompro[] = {"compro", "comproip530", nullptr};
const char* const kHunt[] = {"hunt", nullptr};
const char* const kBrickcom[] = {"brickcom", "brickcomv2", nullptr};
const char* const kStorage[] = {"storageoptions", nullptr};
const char* const kZavio[] = {"zavioprofile", "zaviomegav3", "zaviomega", "zaviomegav2", "zaviomegav4", "zaviovga",
                              nullptr};
const char* const kCanon[] = {"canon", "canon-v2", nullptr};
const char* const kFoscam[] = {"foscam", nullptr};
const char* const kFoscamV2[] = {"foscam-h264-v2", nullptr};
const char* const kBasler[] = {"basler", nullptr};
const char* const kItx[] = {"itx", nullptr};
const char* const kRaylios[] = {"raylios", "rayliosv2", nullptr};
const char* const kHiSharp[] = {"hisharp", nullptr};
const char* const kBosch[] = {"bosch", nullptr};
const char* const kBeward[] = {"beward", nullptr};
const char* const kSiemens[] = {"siemens", nullptr};
const char* const kShany[] = {"shany", nullptr};
const char* const kNexcom[] = {"nexcom", nullptr};
const char* const kGrandStream[] = {"grandstream", nullptr};
const char* const kTruen[] = {"truen", nullptr};
const char* const kAirlive[] = {"airlivev1", "airlivev2", "airlivev3", "airlivegen2", "avipcv2", nullptr};
const char* const kLevelOneGr5[] = {"level1gr5", nullptr};
const char* const kLevelOneGr1[] = {"level1gr1", nullptr};
const char* const kLevelOneGr4[] = {"level1gr4", nullptr};
const char* const kJvc[] = {"jvc", "jvcvnt", "jvcvnh", nullptr};
const char* const kEdimax[] = {"edimaxvp", nullptr};
const char* const kActi[] = {"acti", "actitcm", "actide", nullptr};
const char* const kPixord[] = {"pixordv1", nullptr};
const char* const kMessoaA02[] = {"messoaa02", "imege", nullptr};
const char* const kStarDot[] = {"stardot", nullptr};

// Multipart families.
const char* const kHikVision[] = {"hikvision", "hikvisionv2", "hikvisionv3", nullptr};
const char* const kPsia[] = {"psia", nullptr};
const char* const kSony[] = {"sonygen2", "sonygen3", "sonygen4", "sonygen5", "sonygen6", nullptr};
const char* const kSamsung[] = {"samsung", "samsungv2", nullptr};
const char* const kHitron[] = {"hitron", "hitronv2", "hitronv3", "eneov2", nullptr};
const char* const kAlinking[] = {"alinking", "alinking-cmos", nullptr};
const char* const kLilin[] = {"lilin", nullptr};
const char* const kAcumen[] = {"acumen", nullptr};
const char* const kDLinkV9[] = {"dlinkdcsv9v2", nullptr};
const char* const kOncam[] = {"oncamgrandeye", nullptr};
const char* const kEtrovision[] = {"etrovision", "etrovisionv2", "etrovisionmp", nullptr};
const char* const kPanasonic[] = {"panasonicipro", "panasonicipro3m", "panasoniciprodome", nullptr};
const char* const kIpux[] = {"ipuxfw1", "ipux5m", nullptr};
const char* const kIQeye[] = {"iqeyev1", "iqeyev2", "iqeyev3", "iqeyev4", nullptr};
const char* const kEdimaxPush[] = {"edimaxv2", "edimaxv3", nullptr};

// Binary and line streams, own loops.
const char* const kDahua[] = {"dahua", nullptr};
const char* const kDLinkNotify[] = {"dlinknipca", "dlinknipcav2", "dlinknipcav3", "dlinknipcav4", nullptr};
const char* const kEverFocus[] = {"everfocus", nullptr};
const char* const kYcamArm[] = {"ycam", "ycamv3", nullptr};
const char* const kMobotix[] = {"mobotix", nullptr};
const char* const kLevelOneGr2[] = {"level1gr2", nullptr};

// JPEG-frame families.
const char* const kAxis[] = {"axisv3", "axisv3s", "axisv5", "axisv5s", nullptr};
const char* const kVivotek[] = {"vivotek2", "vivotek7v1", "vivotek7v2", "vivotek8", "vivotekvs", nullptr};
const char* const kPanasonicJpeg[] = {"panasonicfw1", "panasonicfw3", "panasonicfw4", "panasonicmp", nullptr};

// RTP-extension families (their RTSP side is in sim_rtp.cpp's own table).
const char* const kAvtech[] = {"avtech", "avtechp", "avtechv2", nullptr};

const Family kFamilies[] = {
    // Polling families: the status CGIs of the motion and input detectors.
    {"ycam", kYcam, Auth::kBasic, &HandleYcam},
    {"arecont", kArecont, Auth::kBasic, &HandleArecont},
    {"sanyo", kSanyo, Auth::kBasic, &HandleSanyo},
    {"messoa", kMessoa, Auth::kBasic, &HandleMessoa},
    {"messoa-pro", kMessoaPro, Auth::kBasic, &HandleMessoaPro},
    {"messoasdk05", kMessoaSdk05, Auth::kBasic, &HandleMessoaSdk05},
    {"messoa03", kMessoa03, Auth::kBasic, &HandleMessoa03},
    {"compro", kCompro, Auth::kBasic, &HandleCompro},
    {"hunt", kHunt, Auth::kBasic, &HandleHunt},
    {"brickcom", kBrickcom, Auth::kDigest, &HandleBrickcom},
    {"storage", kStorage, Auth::kBasic, &HandleStorage},
    {"zavio", kZavio, Auth::kDigest, &HandleZavio, &HandleZavioPush},
    {"canon", kCanon, Auth::kBasic, &HandleCanon},
    {"foscam", kFoscam, Auth::kBasic, &HandleFoscam},
    {"foscam-v2", kFoscamV2, Auth::kNone, &HandleFoscamV2},   // login in the query
    {"basler", kBasler, Auth::kBasic, &HandleBasler, &HandleBaslerJpeg},
    {"itx", kItx, Auth::kDigest, &HandleItx},
    {"raylios", kRaylios, Auth::kBasic, &HandleRaylios},
    {"hisharp", kHiSharp, Auth::kBasic, &HandleHiSharp},
    {"bosch", kBosch, Auth::kDigest, &HandleBosch},
    {"beward", kBeward, Auth::kNone, &HandleBeward},         // login in the query
    {"siemens", kSiemens, Auth::kNone, &HandleSiemens},      // asked on a raw socket, no login
    {"shany", kShany, Auth::kBasic, &HandleShany},
    {"nexcom", kNexcom, Auth::kBasic, &HandleNexcom},
    {"grandstream", kGrandStream, Auth::kDigest, &HandleGrandStream},
    {"truen", kTruen, Auth::kDigest, &HandleTruen},
    {"airlive", kAirlive, Auth::kBasic, &HandleAirlive, &HandleAirlivePush},
    {"level1gr5", kLevelOneGr5, Auth::kBasic, &HandleLevelOneGr5},
    {"level1gr1", kLevelOneGr1, Auth::kBasic, &HandleLevelOneGr1},
    // Motion and input lines on a TCP port of its own.
    {"level1gr4", kLevelOneGr4, Auth::kBasic, &HandleLevelOneGr4, &HandleLevelOneGr4Push, &RawLevelOneGr4, 4000},
    {"jvc", kJvc, Auth::kDigest, &HandleJvc, &HandleJvcJpeg},
    {"edimax", kEdimax, Auth::kBasic, &HandleEdimax, &HandleEdimaxVPPush},
    // Motion on a binary event connection of its own.
    {"acti", kActi, Auth::kBasic, &HandleActi, nullptr, &RawActi, 6001},
    {"pixord", kPixord, Auth::kBasic, &HandlePixord, &HandlePixordPush},
    {"messoa-a02", kMessoaA02, Auth::kBasic, &HandleMessoaA02, &HandleObjectSizePush},
    {"stardot", kStarDot, Auth::kBasic, &HandleStarDot, &HandleStarDotMjpeg},
    // Streaming families: add rows below.
    {"hikvision", kHikVision, Auth::kDigest, &HandleHikVision},
    {"psia", kPsia, Auth::kDigest, &HandlePsia},
    {"sony", kSony, Auth::kBasic, &HandleSony},
    {"samsung", kSamsung, Auth::kDigest, &HandleSamsung},
    {"hitron", kHitron, Auth::kBasic, &HandleHitron},
    {"alinking", kAlinking, Auth::kBasic, &HandleAlinking},
    {"lilin", kLilin, Auth::kBasic, &HandleLilin},
    {"acumen", kAcumen, Auth::kBasic, &HandleAcumen},
    {"dlink-v9", kDLinkV9, Auth::kBasic, &HandleDLinkV9},
    {"oncam", kOncam, Auth::kBasic, &HandleOncam},
    {"etrovision", kEtrovision, Auth::kBasic, &HandleEtrovision},
    {"panasonic", kPanasonic, Auth::kBasic, &HandlePanasonic},
    {"ipux", kIpux, Auth::kBasic, &HandleIpux, &HandleIpuxMjpeg},
    {"iqeye", kIQeye, Auth::kBasic, &HandleIQeye},
    {"edimax-push", kEdimaxPush, Auth::kBasic, &HandleEdimaxPush},
    {"axis", kAxis, Auth::kDigest, &HandleAxis},
    {"vivotek", kVivotek, Auth::kBasic, &HandleVivotek},
    {"panasonic-jpeg", kPanasonicJpeg, Auth::kBasic, &HandlePanasonicJpeg},
    {"avtech", kAvtech, Auth::kBasic, &HandleAvtech},
    {"onvif", kOnvif, Auth::kNone, &HandleOnvif},  // WS-Security in the SOAP header, no HTTP login
    {"dahua", kDahua, Auth::kDigest, &HandleDahua},
    {"dlink", kDLinkNotify, Auth::kBasic, &HandleDLinkNotify},
    {"everfocus", kEverFocus, Auth::kBasic, &HandleEverFocus},
    {"ycam-arm", kYcamArm, Auth::kBasic, &HandleYcamArm},
    {"mobotix", kMobotix, Auth::kBasic, &HandleMobotix},
    // Region levels on the fixed port 19999.
    {"level1gr2", kLevelOneGr2, Auth::kBasic, &HandleLevelOneGr2, nullptr, &RawLevelOneGr2, 19999},
};

}  // namespace

const Family* FamilyTable(size_t& count) {
    count = sizeof(kFamilies) / sizeof(kFamilies[0]);
    return kFamilies;
}

const Family* FindFamily(const std::string& apiKey) {
    size_t n = 0;
    const Family* t = FamilyTable(n);
    for (size_t i = 0; i < n; ++i) {
        for (const char* const* k = t[i].apiKeys; *k; ++k) {
            if (apiKey == *k) return &t[i];
        }
    }
    return nullptr;
}

}  // namespace camsim
