// The classes the factories create, as typed definitions. A definition is
// made from the class type by a macro: its name (the class name the recorder
// sees through the detector's run-time type) and the type come from the same
// token, so a misspelt class does not compile, and the dispatch table points
// at definitions, never at names to be looked up.
#ifndef CAMDET_DETCLASSES_H
#define CAMDET_DETCLASSES_H

#include "camdet/core/eventdetector.h"
#include "camdet/vendors/acti/actidetector.h"
#include "camdet/vendors/binvendordetector.h"
#include "camdet/vendors/cgivendordetector.h"
#include "camdet/vendors/hikvisiondetector.h"
#include "camdet/vendors/jpgvendordetector.h"
#include "camdet/vendors/levelone/levelonegr2detector.h"
#include "camdet/vendors/mobotix/mobotixdetector.h"
#include "camdet/vendors/mpvendordetector.h"
#include "camdet/vendors/onvif.h"
#include "camdet/vendors/rtpvendordetector.h"
#include "camdet/vendors/stmfifo/stmfifodetector.h"
#include "camdet/vendors/vivotekdi.h"

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
template <typename T>
BRObjectBase* MakeDetB(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, args.b);
}
// (attr, flag, kind): Axis over frames or RTP.
template <typename T>
BRObjectBase* MakeDetBKind(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, args.b, args.kind);
}
// (attr, flag, VIVO_FUNC_GR, kind)
template <typename T>
BRObjectBase* MakeDetBGroupKind(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, args.b, (VIVO_FUNC_GR)args.group, args.kind);
}
// (attr, flag, kind, PANA_FUNC_GR)
template <typename T>
BRObjectBase* MakeDetBKindGroup(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, args.b, args.kind, (PANA_FUNC_GR)args.group);
}
// (attr, VIVO_FUNC_GR, kind): Vivotek over RTP.
template <typename T>
BRObjectBase* MakeDetGroupKind(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, (VIVO_FUNC_GR)args.group, args.kind);
}
// (attr, VIVO_FUNC_GR)
template <typename T>
BRObjectBase* MakeDetGroup(const DET_BASE_ATTR& attr, const DetArgs& args) {
    return new T(attr, (VIVO_FUNC_GR)args.group);
}

// detclass::Name, made from class ::Name with the given constructor shape.
#define CAMDET_DET_CLASS(Name, Maker) inline constexpr DetClassDef Name{#Name, &Maker< ::Name>}

namespace detclass {

// ---------------------------------------------------------------- polled over a CGI

CAMDET_DET_CLASS(YcamV2MD, MakeDet);
CAMDET_DET_CLASS(ArecontMD, MakeDet);
CAMDET_DET_CLASS(SanyoMD, MakeDet);
CAMDET_DET_CLASS(MessoaMD, MakeDet);
CAMDET_DET_CLASS(MessoaProMD, MakeDet);
CAMDET_DET_CLASS(MessoaSDK05MD, MakeDetB);
CAMDET_DET_CLASS(Messoa03MD, MakeDet);
CAMDET_DET_CLASS(ComproMD, MakeDet);
CAMDET_DET_CLASS(HuntMD, MakeDet);
CAMDET_DET_CLASS(BrickcomMD, MakeDet);
CAMDET_DET_CLASS(StorageMD, MakeDet);
CAMDET_DET_CLASS(ZavioV3MD, MakeDet);
CAMDET_DET_CLASS(CanonMD, MakeDet);
CAMDET_DET_CLASS(FoscamMD, MakeDet);
CAMDET_DET_CLASS(FoscamV2MD, MakeDet);
CAMDET_DET_CLASS(BaslerMp4MD, MakeDet);
CAMDET_DET_CLASS(ItxMD, MakeDet);
CAMDET_DET_CLASS(RayliosMD, MakeDet);
CAMDET_DET_CLASS(RayliosV2MD, MakeDet);
CAMDET_DET_CLASS(HiSharpMD, MakeDet);
CAMDET_DET_CLASS(BoschMD, MakeDet);
CAMDET_DET_CLASS(BewardMD, MakeDet);
CAMDET_DET_CLASS(SiemensMD, MakeDet);
CAMDET_DET_CLASS(ShanyMD, MakeDet);
CAMDET_DET_CLASS(NexcomMD, MakeDet);
CAMDET_DET_CLASS(GrandStreamMD, MakeDet);
CAMDET_DET_CLASS(TruenMD, MakeDet);
CAMDET_DET_CLASS(AirliveDI, MakeDet);
CAMDET_DET_CLASS(LevelOneGr5DI, MakeDet);
CAMDET_DET_CLASS(LevelOneGr1DI, MakeDet);
CAMDET_DET_CLASS(LevelOneGr4DICgiQuery, MakeDet);
CAMDET_DET_CLASS(YcamV2DI, MakeDet);
CAMDET_DET_CLASS(JvcDI, MakeDet);
CAMDET_DET_CLASS(EdimaxVPDI, MakeDet);
CAMDET_DET_CLASS(ActiDI, MakeDet);
CAMDET_DET_CLASS(ArecontDI, MakeDet);
CAMDET_DET_CLASS(SanyoDI, MakeDet);
CAMDET_DET_CLASS(PixordDI, MakeDet);
CAMDET_DET_CLASS(MessoaDI, MakeDet);
CAMDET_DET_CLASS(MessoaProDI, MakeDet);
CAMDET_DET_CLASS(MessoaSDK05DI, MakeDetB);
CAMDET_DET_CLASS(MessoaA02DI, MakeDet);
CAMDET_DET_CLASS(Messoa03DI, MakeDet);
CAMDET_DET_CLASS(ComproDI, MakeDet);
CAMDET_DET_CLASS(HuntDI, MakeDet);
CAMDET_DET_CLASS(BrickcomDI, MakeDet);
CAMDET_DET_CLASS(StorageDI, MakeDet);
CAMDET_DET_CLASS(ZavioDI, MakeDet);
CAMDET_DET_CLASS(CanonDI, MakeDet);
CAMDET_DET_CLASS(FoscamDI, MakeDet);
CAMDET_DET_CLASS(FoscamV2DI, MakeDet);
CAMDET_DET_CLASS(BaslerMp4DI, MakeDet);
CAMDET_DET_CLASS(ItxDI, MakeDet);
CAMDET_DET_CLASS(ImegeDI, MakeDet);
CAMDET_DET_CLASS(StarDotDI, MakeDet);
CAMDET_DET_CLASS(BoschDI, MakeDet);
CAMDET_DET_CLASS(BewardDI, MakeDet);
CAMDET_DET_CLASS(SiemensDI, MakeDet);
CAMDET_DET_CLASS(ShanyDI, MakeDet);
CAMDET_DET_CLASS(NexcomDI, MakeDet);
CAMDET_DET_CLASS(TruenDI, MakeDet);

// ---------------------------------------------------------------- Axis and Vivotek

CAMDET_DET_CLASS(AxisMD, MakeDet);
CAMDET_DET_CLASS(AxisDI, MakeDet);
CAMDET_DET_CLASS(AxisJpgDetector, MakeDetBKind);
CAMDET_DET_CLASS(VivotekJpgDetector, MakeDetBGroupKind);
CAMDET_DET_CLASS(Vivotek2DI, MakeDet);
CAMDET_DET_CLASS(Vivotek8DI, MakeDetGroup);

// ---------------------------------------------------------------- JPEG header segments

CAMDET_DET_CLASS(PanaJpgDIMD, MakeDetBKindGroup);
CAMDET_DET_CLASS(JvcJpgMD, MakeDetB);
CAMDET_DET_CLASS(BaslerJpgMD, MakeDetB);
CAMDET_DET_CLASS(BaslerJpgDI, MakeDetB);

// ---------------------------------------------------------------- multipart streams

CAMDET_DET_CLASS(HikVisionMD, MakeDet);
CAMDET_DET_CLASS(HikVisionV3MD, MakeDet);
CAMDET_DET_CLASS(HikVisionDI, MakeDet);
CAMDET_DET_CLASS(HikVisionV3DI, MakeDet);
CAMDET_DET_CLASS(HikVisionTD, MakeDet);
CAMDET_DET_CLASS(HikVisionV3TD, MakeDet);
CAMDET_DET_CLASS(HikVisionAD, MakeDet);
CAMDET_DET_CLASS(LevelOneGr4TD, MakeDet);
CAMDET_DET_CLASS(IQeyeV1MD, MakeDet);
CAMDET_DET_CLASS(IQeyeV2MD, MakeDet);
CAMDET_DET_CLASS(IQeyeDI, MakeDet);
CAMDET_DET_CLASS(SonyMD, MakeDet);
CAMDET_DET_CLASS(SonyDI, MakeDet);
CAMDET_DET_CLASS(PsiaMD, MakeDet);
CAMDET_DET_CLASS(PsiaDI, MakeDet);
CAMDET_DET_CLASS(MessoaA02MD, MakeDet);
CAMDET_DET_CLASS(ImegeMD, MakeDet);
CAMDET_DET_CLASS(SamsungMD, MakeDet);
CAMDET_DET_CLASS(SamsungAD, MakeDet);
CAMDET_DET_CLASS(SamsungTD, MakeDet);
CAMDET_DET_CLASS(SamsungDI, MakeDet);
CAMDET_DET_CLASS(HitronMD, MakeDet);
CAMDET_DET_CLASS(HitronDI, MakeDet);
CAMDET_DET_CLASS(EneoMD, MakeDet);
CAMDET_DET_CLASS(EneoDI, MakeDet);
CAMDET_DET_CLASS(EneoTD, MakeDet);
CAMDET_DET_CLASS(AlinkingMD, MakeDet);
CAMDET_DET_CLASS(AlinkingDI, MakeDet);
CAMDET_DET_CLASS(AlinkingTD, MakeDet);
CAMDET_DET_CLASS(DLinkV9V2MD, MakeDet);
CAMDET_DET_CLASS(LilinMD, MakeDet);
CAMDET_DET_CLASS(LilinDI, MakeDet);
CAMDET_DET_CLASS(AcumenMD, MakeDet);
CAMDET_DET_CLASS(AcumenDI, MakeDet);
CAMDET_DET_CLASS(OncamGrandeyeMD, MakeDet);
CAMDET_DET_CLASS(OncamGrandeyeDI, MakeDet);
CAMDET_DET_CLASS(EdimaxMD, MakeDet);
CAMDET_DET_CLASS(EdimaxVPMD, MakeDet);
CAMDET_DET_CLASS(EtrovisionMD, MakeDet);
CAMDET_DET_CLASS(EtrovisionDI, MakeDet);
CAMDET_DET_CLASS(PixordMD, MakeDet);
CAMDET_DET_CLASS(PanaMD, MakeDet);
CAMDET_DET_CLASS(PanaDI, MakeDet);
CAMDET_DET_CLASS(PanaProMD, MakeDet);
CAMDET_DET_CLASS(PanaProDI, MakeDet);
CAMDET_DET_CLASS(IpuxMD, MakeDet);
CAMDET_DET_CLASS(IpuxDI, MakeDet);
CAMDET_DET_CLASS(ZavioMD, MakeDet);
CAMDET_DET_CLASS(AirliveMD, MakeDetB);

// ---------------------------------------------------------------- ONVIF pull points

CAMDET_DET_CLASS(OnvifMD, MakeDet);
CAMDET_DET_CLASS(OnvifDI, MakeDet);
CAMDET_DET_CLASS(OnvifTD, MakeDet);
CAMDET_DET_CLASS(OnvifAD, MakeDet);

// ---------------------------------------------------------------- binary and line streams

CAMDET_DET_CLASS(DahuaMD, MakeDet);
CAMDET_DET_CLASS(DahuaDI, MakeDet);
CAMDET_DET_CLASS(DahuaTD, MakeDet);
CAMDET_DET_CLASS(DLinkMD, MakeDet);
CAMDET_DET_CLASS(DLinkDI, MakeDet);
CAMDET_DET_CLASS(DLinkAD, MakeDet);
CAMDET_DET_CLASS(LilinV2DI, MakeDet);
CAMDET_DET_CLASS(LevelOneGr4MD, MakeDet);
CAMDET_DET_CLASS(LevelOneGr4DI, MakeDet);
CAMDET_DET_CLASS(EverFocusMD, MakeDet);
CAMDET_DET_CLASS(EverFocusDI, MakeDet);
CAMDET_DET_CLASS(YcamMD, MakeDet);

// ---------------------------------------------------------------- own loops

CAMDET_DET_CLASS(ActiMD, MakeDet);
CAMDET_DET_CLASS(MobotixMD, MakeDet);
CAMDET_DET_CLASS(MobotixDI, MakeDet);
CAMDET_DET_CLASS(LevelOneGr2MD, MakeDet);
CAMDET_DET_CLASS(IpuxStmFifoMD, MakeDet);
CAMDET_DET_CLASS(IpuxStmFifoDI, MakeDet);
CAMDET_DET_CLASS(StarDotStmFifoMD, MakeDet);

// ---------------------------------------------------------------- RTP header extensions

CAMDET_DET_CLASS(AxisMp4Detector, MakeDetBKind);
CAMDET_DET_CLASS(VivotekMp4Detector, MakeDetGroupKind);
CAMDET_DET_CLASS(AVTECHMD, MakeDet);
CAMDET_DET_CLASS(AVTECHDI, MakeDet);

}  // namespace detclass

#endif  // CAMDET_DETCLASSES_H
