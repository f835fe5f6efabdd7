#include "camdet/factory/detfactory.h"

// The classes the table points at, each defined beside its class in its
// family's file (camdet/vendors/).
namespace detclass {
extern const DetClassDef AxisJpgDetector, AxisMp4Detector, AxisDI, PanaJpgDIMD, IpuxStmFifoMD, IpuxMD,
    IpuxStmFifoDI, IpuxDI, VivotekJpgDetector, VivotekMp4Detector, Vivotek8DI, JvcJpgMD, AirliveMD, MessoaSDK05MD,
    MessoaSDK05DI, BaslerJpgMD, BaslerMp4MD, BaslerJpgDI, BaslerMp4DI, LevelOneGr4DICgiQuery, LevelOneGr4DI, ActiMD,
    ActiDI, AxisMD, LevelOneGr1DI, LevelOneGr2MD, LevelOneGr4MD, LevelOneGr4TD, LevelOneGr5DI, PanaMD, PanaDI,
    PanaProMD, PanaProDI, Vivotek2DI, YcamMD, YcamV2MD, YcamV2DI, IQeyeV1MD, IQeyeV2MD, IQeyeDI, JvcDI, SonyDI,
    SonyMD, MobotixMD, MobotixDI, EdimaxMD, EdimaxVPMD, EdimaxVPDI, DLinkMD, DLinkDI, DLinkAD, DLinkV9V2MD, DahuaMD,
    DahuaDI, DahuaTD, AirliveDI, ArecontMD, ArecontDI, HikVisionMD, HikVisionDI, HikVisionTD, HikVisionV3MD,
    HikVisionV3DI, HikVisionV3TD, HikVisionAD, EtrovisionMD, EtrovisionDI, SanyoMD, SanyoDI, PixordMD, PixordDI,
    PsiaMD, PsiaDI, MessoaMD, MessoaDI, MessoaProMD, MessoaProDI, MessoaA02MD, MessoaA02DI, Messoa03MD, Messoa03DI,
    BrickcomMD, BrickcomDI, ComproMD, ComproDI, HuntMD, HuntDI, StorageMD, StorageDI, ZavioMD, ZavioDI, ZavioV3MD,
    CanonMD, CanonDI, FoscamMD, FoscamDI, FoscamV2MD, FoscamV2DI, ItxMD, ItxDI, SamsungMD, SamsungDI, SamsungTD,
    SamsungAD, EneoMD, EneoDI, EneoTD, ImegeMD, ImegeDI, StarDotStmFifoMD, StarDotDI, RayliosMD, RayliosV2MD,
    HitronMD, HitronDI, AVTECHMD, AVTECHDI, EverFocusMD, EverFocusDI, AlinkingMD, AlinkingDI, AlinkingTD, HiSharpMD,
    LilinMD, LilinDI, LilinV2DI, BoschMD, BoschDI, BewardMD, BewardDI, SiemensMD, SiemensDI, ShanyMD, ShanyDI,
    OncamGrandeyeMD, OncamGrandeyeDI, AcumenMD, AcumenDI, NexcomMD, NexcomDI, GrandStreamMD, TruenMD, TruenDI,
    OnvifMD, OnvifDI, OnvifTD, OnvifAD;
}  // namespace detclass

namespace {

DetChoice Choose(const DetClassDef& def, bool b = false, int kind = 0, int group = 0) {
    DetChoice c;
    c.def = &def;
    c.args.b = b;
    c.args.kind = kind;
    c.args.group = group;
    return c;
}
const DetChoice kNone;

bool Api(const FactoryInputs& in, const char* word) { return in.cap && in.cap->IsApiSpecified(word); }

// ---------------------------------------------------------------- conditions

// JPEG streams carry the events in markers, the other formats in RTP header
// extensions; the kind is the factory's.
DetChoice AxisV5(const FactoryInputs& in) {
    return in.fmt == 1 ? Choose(detclass::AxisJpgDetector, in.sf, in.kind)
                       : Choose(detclass::AxisMp4Detector, in.sf, in.kind);
}
// Cameras whose inputs are asked over a CGI say so in their capabilities.
DetChoice AxisV5Input(const FactoryInputs& in) {
    return Api(in, "DI_CGI_QUERY") ? Choose(detclass::AxisDI) : AxisV5(in);
}

// The first firmware carries motion in JPEG markers only.
DetChoice PanaFw1Motion(const FactoryInputs& in) {
    return in.fmt == 1 ? Choose(detclass::PanaJpgDIMD, in.sf, in.kind, 0) : kNone;
}
DetChoice PanaJpgMotion(const FactoryInputs& in) {
    return Choose(detclass::PanaJpgDIMD, in.fmt == 1 && in.sf, in.kind, 0);
}
// Two models report their inputs as function group 2 whatever the format.
DetChoice PanaJpgInput(const FactoryInputs& in) {
    const bool sf = in.fmt == 1 && in.sf;
    if (in.model == "BB-HCM701" || in.model == "BB-HCM705") return Choose(detclass::PanaJpgDIMD, sf, in.kind, 2);
    if (in.fmt == 1) return Choose(detclass::PanaJpgDIMD, sf, in.kind, 0);
    if (in.fmt == 2) return Choose(detclass::PanaJpgDIMD, sf, in.kind, 1);
    return kNone;
}

DetChoice IpuxMotion(const FactoryInputs& in) {
    return (in.fmt == 1 && in.sf) ? Choose(detclass::IpuxStmFifoMD) : Choose(detclass::IpuxMD);
}
DetChoice IpuxInput(const FactoryInputs& in) {
    return (in.fmt == 1 && in.sf) ? Choose(detclass::IpuxStmFifoDI) : Choose(detclass::IpuxDI);
}

// Vivotek function groups: 0 vivotek2, 1 vivotek7v1, 2 vivotek7v2, 3 vivotek8, 4 vivotekvs.
DetChoice Vivotek2Motion(const FactoryInputs& in) {
    return in.fmt == 1 ? Choose(detclass::VivotekJpgDetector, in.sf, in.kind, 0) : kNone;
}
DetChoice Vivotek7v1Motion(const FactoryInputs& in) {
    return in.fmt == 2 ? Choose(detclass::VivotekMp4Detector, false, in.kind, 1) : kNone;
}
DetChoice Vivotek7v2Motion(const FactoryInputs& in) {
    if (in.fmt == 1) return Choose(detclass::VivotekJpgDetector, in.sf, in.kind, 2);
    if (in.fmt == 2) return Choose(detclass::VivotekMp4Detector, false, in.kind, 2);
    return kNone;
}
// Any format but JPEG is taken for RTP.
DetChoice Vivotek8(const FactoryInputs& in) {
    return in.fmt == 1 ? Choose(detclass::VivotekJpgDetector, in.sf, in.kind, 3)
                       : Choose(detclass::VivotekMp4Detector, false, in.kind, 3);
}
DetChoice VivotekVsMotion(const FactoryInputs& in) {
    if (in.fmt == 1) return Choose(detclass::VivotekJpgDetector, in.sf, in.kind, 4);
    if (in.fmt == 2 || in.fmt == 3) return Choose(detclass::VivotekMp4Detector, false, in.kind, 4);
    return kNone;
}
template <int Group>
DetChoice Vivotek8Input(const FactoryInputs&) {
    return Choose(detclass::Vivotek8DI, false, DET_TYPE_DI, Group);
}

DetChoice JvcMotion(const FactoryInputs& in) { return Choose(detclass::JvcJpgMD, in.fmt == 1 && in.sf); }

// "VMD" cameras send event ids instead of level lines.
DetChoice AirliveMotion(const FactoryInputs& in) { return Choose(detclass::AirliveMD, Api(in, "VMD")); }

// "GROUP11" firmware has another CGI and answer.
DetChoice MessoaSDK05Motion(const FactoryInputs& in) {
    return Choose(detclass::MessoaSDK05MD, Api(in, "GROUP11"));
}
DetChoice MessoaSDK05Input(const FactoryInputs& in) {
    return Choose(detclass::MessoaSDK05DI, Api(in, "GROUP11"));
}

// No detector for the formats other than JPEG and RTP.
DetChoice BaslerMotion(const FactoryInputs& in) {
    if (in.fmt == 1) return Choose(detclass::BaslerJpgMD, in.sf);
    if (in.fmt == 2 || in.fmt == 3) return Choose(detclass::BaslerMp4MD);
    return kNone;
}
DetChoice BaslerInput(const FactoryInputs& in) {
    if (in.fmt == 1) return Choose(detclass::BaslerJpgDI, in.sf);
    if (in.fmt == 2 || in.fmt == 3) return Choose(detclass::BaslerMp4DI);
    return kNone;
}

// One model, and cameras that say so, answer their inputs over a CGI.
DetChoice LevelOneGr4Input(const FactoryInputs& in) {
    if (in.model == "FCS-1141" || Api(in, "DI_CGI_QUERY")) return Choose(detclass::LevelOneGr4DICgiQuery);
    return Choose(detclass::LevelOneGr4DI);
}

// ---------------------------------------------------------------- the table

#define CLASS(Name) DetPick{&detclass::Name, nullptr}
#define CHOOSE(Fn) DetPick{nullptr, &Fn}
#define NONE DetPick{nullptr, nullptr}

const DispatchRow kRows[] = {
    // {{keys},
    //  motion,                    input,                     tampering,                 audio}
    {{"acti", "actitcm", "actide"},
        CLASS(ActiMD),             CLASS(ActiDI),             NONE,                      NONE},
    {{"axisv3", "axisv3s", "axisv5s"},
        CLASS(AxisMD),             CLASS(AxisDI),             NONE,                      NONE},
    {{"axisv5"},
        CHOOSE(AxisV5),            CHOOSE(AxisV5Input),       CHOOSE(AxisV5),            CHOOSE(AxisV5)},
    {{"level1gr1"},
        NONE,                      CLASS(LevelOneGr1DI),      NONE,                      NONE},
    {{"level1gr2"},
        CLASS(LevelOneGr2MD),      NONE,                      NONE,                      NONE},
    {{"level1gr4"},
        CLASS(LevelOneGr4MD),      CHOOSE(LevelOneGr4Input),  CLASS(LevelOneGr4TD),      NONE},
    {{"level1gr5"},
        NONE,                      CLASS(LevelOneGr5DI),      NONE,                      NONE},
    {{"panasonicfw1"},
        CHOOSE(PanaFw1Motion),     CHOOSE(PanaJpgInput),      NONE,                      NONE},
    {{"panasonicfw3", "panasonicfw4", "panasonicmp"},
        CHOOSE(PanaJpgMotion),     CHOOSE(PanaJpgInput),      NONE,                      NONE},
    {{"panasonicipro", "panasonicipro3m"},
        CLASS(PanaMD),             CLASS(PanaDI),             NONE,                      NONE},
    {{"panasoniciprodome"},
        CLASS(PanaProMD),          CLASS(PanaProDI),          NONE,                      NONE},
    {{"ipuxfw1", "ipux5m"},
        CHOOSE(IpuxMotion),        CHOOSE(IpuxInput),         NONE,                      NONE},
    {{"vivotek2"},
        CHOOSE(Vivotek2Motion),    CLASS(Vivotek2DI),         NONE,                      NONE},
    {{"vivotek7v1"},
        CHOOSE(Vivotek7v1Motion),  CLASS(Vivotek2DI),         NONE,                      NONE},
    {{"vivotek7v2"},
        CHOOSE(Vivotek7v2Motion),  CHOOSE(Vivotek8Input<2>),  NONE,                      NONE},
    {{"vivotek8"},
        CHOOSE(Vivotek8),          CHOOSE(Vivotek8Input<3>),  CHOOSE(Vivotek8),          NONE},
    {{"vivotekvs"},
        CHOOSE(VivotekVsMotion),   CHOOSE(Vivotek8Input<4>),  NONE,                      NONE},
    {{"ycam", "ycamv3"},
        CLASS(YcamMD),             NONE,                      NONE,                      NONE},
    {{"ycamv2"},
        CLASS(YcamV2MD),           CLASS(YcamV2DI),           NONE,                      NONE},
    {{"iqeyev1"},
        CLASS(IQeyeV1MD),          NONE,                      NONE,                      NONE},
    {{"iqeyev2"},
        CLASS(IQeyeV2MD),          CLASS(IQeyeDI),            NONE,                      NONE},
    {{"iqeyev3", "iqeyev4"},
        CLASS(IQeyeV1MD),          CLASS(IQeyeDI),            NONE,                      NONE},
    {{"jvc", "jvcvnt", "jvcvnh"},
        CHOOSE(JvcMotion),         CLASS(JvcDI),              NONE,                      NONE},
    // The oldest generation reports inputs only.
    {{"sonygen2"},
        NONE,                      CLASS(SonyDI),             NONE,                      NONE},
    {{"sonygen3", "sonygen4", "sonygen5", "sonygen6"},
        CLASS(SonyMD),             CLASS(SonyDI),             NONE,                      NONE},
    {{"mobotix"},
        CLASS(MobotixMD),          CLASS(MobotixDI),          NONE,                      NONE},
    {{"edimaxv2", "edimaxv3"},
        CLASS(EdimaxMD),           NONE,                      NONE,                      NONE},
    {{"edimaxvp"},
        CLASS(EdimaxVPMD),         CLASS(EdimaxVPDI),         NONE,                      NONE},
    {{"dlinknipca", "dlinknipcav2"},
        CLASS(DLinkMD),            CLASS(DLinkDI),            NONE,                      NONE},
    {{"dlinknipcav3"},
        CLASS(DLinkMD),            CLASS(DLinkDI),            NONE,                      CLASS(DLinkAD)},
    {{"dlinknipcav4"},
        CLASS(DLinkMD),            NONE,                      NONE,                      NONE},
    {{"dlinkdcsv9v2"},
        CLASS(DLinkV9V2MD),        NONE,                      NONE,                      NONE},
    {{"dahua"},
        CLASS(DahuaMD),            CLASS(DahuaDI),            CLASS(DahuaTD),            NONE},
    {{"airlivev1", "airlivev2", "airlivev3", "airlivegen2", "avipcv2"},
        CHOOSE(AirliveMotion),     CLASS(AirliveDI),          NONE,                      NONE},
    {{"arecont"},
        CLASS(ArecontMD),          CLASS(ArecontDI),          NONE,                      NONE},
    {{"hikvision"},
        CLASS(HikVisionMD),        CLASS(HikVisionDI),        NONE,                      NONE},
    {{"hikvisionv2"},
        CLASS(HikVisionMD),        CLASS(HikVisionDI),        CLASS(HikVisionTD),        NONE},
    {{"hikvisionv3"},
        CLASS(HikVisionV3MD),      CLASS(HikVisionV3DI),      CLASS(HikVisionV3TD),      CLASS(HikVisionAD)},
    {{"etrovision", "etrovisionv2", "etrovisionmp"},
        CLASS(EtrovisionMD),       CLASS(EtrovisionDI),       NONE,                      NONE},
    {{"sanyohd2v1", "sanyohd2v2", "sanyohdv5"},
        CLASS(SanyoMD),            CLASS(SanyoDI),            NONE,                      NONE},
    {{"pixordv1"},
        CLASS(PixordMD),           CLASS(PixordDI),           NONE,                      NONE},
    {{"psia"},
        CLASS(PsiaMD),             CLASS(PsiaDI),             NONE,                      NONE},
    {{"messoa"},
        CLASS(MessoaMD),           CLASS(MessoaDI),           NONE,                      NONE},
    {{"messoa-pro", "messoav2"},
        CLASS(MessoaProMD),        CLASS(MessoaProDI),        NONE,                      NONE},
    {{"messoasdk05"},
        CHOOSE(MessoaSDK05Motion), CHOOSE(MessoaSDK05Input),  NONE,                      NONE},
    {{"messoaa02"},
        CLASS(MessoaA02MD),        CLASS(MessoaA02DI),        NONE,                      NONE},
    {{"messoa03"},
        CLASS(Messoa03MD),         CLASS(Messoa03DI),         NONE,                      NONE},
    {{"brickcom", "brickcomv2"},
        CLASS(BrickcomMD),         CLASS(BrickcomDI),         NONE,                      NONE},
    {{"compro", "comproip530"},
        CLASS(ComproMD),           CLASS(ComproDI),           NONE,                      NONE},
    {{"hunt"},
        CLASS(HuntMD),             CLASS(HuntDI),             NONE,                      NONE},
    {{"storageoptions"},
        CLASS(StorageMD),          CLASS(StorageDI),          NONE,                      NONE},
    {{"zaviomega", "zaviomegav2", "zaviomegav4", "zaviovga"},
        CLASS(ZavioMD),            CLASS(ZavioDI),            NONE,                      NONE},
    {{"zavioprofile"},
        CLASS(ZavioV3MD),          CLASS(ZavioDI),            NONE,                      NONE},
    {{"zaviomegav3"},
        CLASS(ZavioV3MD),          NONE,                      NONE,                      NONE},
    {{"canon"},
        CLASS(CanonMD),            CLASS(CanonDI),            NONE,                      NONE},
    {{"canon-v2"},
        NONE,                      CLASS(CanonDI),            NONE,                      NONE},
    {{"foscam"},
        CLASS(FoscamMD),           CLASS(FoscamDI),           NONE,                      NONE},
    {{"foscam-h264-v2"},
        CLASS(FoscamV2MD),         CLASS(FoscamV2DI),         NONE,                      NONE},
    {{"basler"},
        CHOOSE(BaslerMotion),      CHOOSE(BaslerInput),       NONE,                      NONE},
    {{"itx"},
        CLASS(ItxMD),              CLASS(ItxDI),              NONE,                      NONE},
    {{"samsung"},
        CLASS(SamsungMD),          CLASS(SamsungDI),          CLASS(SamsungTD),          CLASS(SamsungAD)},
    {{"samsungv2"},
        CLASS(SamsungMD),          CLASS(SamsungDI),          NONE,                      NONE},
    {{"eneov2"},
        CLASS(EneoMD),             CLASS(EneoDI),             CLASS(EneoTD),             NONE},
    {{"imege"},
        CLASS(ImegeMD),            CLASS(ImegeDI),            NONE,                      NONE},
    {{"stardot"},
        CLASS(StarDotStmFifoMD),   CLASS(StarDotDI),          NONE,                      NONE},
    {{"raylios"},
        CLASS(RayliosMD),          NONE,                      NONE,                      NONE},
    {{"rayliosv2"},
        CLASS(RayliosV2MD),        NONE,                      NONE,                      NONE},
    {{"hitron", "hitronv2", "hitronv3"},
        CLASS(HitronMD),           CLASS(HitronDI),           NONE,                      NONE},
    {{"avtech", "avtechp", "avtechv2"},
        CLASS(AVTECHMD),           CLASS(AVTECHDI),           NONE,                      NONE},
    {{"everfocus"},
        CLASS(EverFocusMD),        CLASS(EverFocusDI),        NONE,                      NONE},
    {{"alinking"},
        CLASS(AlinkingMD),         CLASS(AlinkingDI),         NONE,                      NONE},
    {{"alinking-cmos"},
        CLASS(AlinkingMD),         CLASS(AlinkingDI),         CLASS(AlinkingTD),         NONE},
    {{"hisharp"},
        CLASS(HiSharpMD),          NONE,                      NONE,                      NONE},
    {{"lilin"},
        CLASS(LilinMD),            CLASS(LilinDI),            NONE,                      NONE},
    {{"lilinv2"},
        NONE,                      CLASS(LilinV2DI),          NONE,                      NONE},
    {{"bosch"},
        CLASS(BoschMD),            CLASS(BoschDI),            NONE,                      NONE},
    {{"beward"},
        CLASS(BewardMD),           CLASS(BewardDI),           NONE,                      NONE},
    {{"siemens"},
        CLASS(SiemensMD),          CLASS(SiemensDI),          NONE,                      NONE},
    {{"shany"},
        CLASS(ShanyMD),            CLASS(ShanyDI),            NONE,                      NONE},
    {{"oncamgrandeye"},
        CLASS(OncamGrandeyeMD),    CLASS(OncamGrandeyeDI),    NONE,                      NONE},
    {{"acumen"},
        CLASS(AcumenMD),           CLASS(AcumenDI),           NONE,                      NONE},
    {{"nexcom"},
        CLASS(NexcomMD),           CLASS(NexcomDI),           NONE,                      NONE},
    {{"grandstream"},
        CLASS(GrandStreamMD),      NONE,                      NONE,                      NONE},
    {{"truen"},
        CLASS(TruenMD),            CLASS(TruenDI),            NONE,                      NONE},
    {{"onvif"},
        CLASS(OnvifMD),            CLASS(OnvifDI),            CLASS(OnvifTD),            CLASS(OnvifAD)},
    // Served as ONVIF for motion only; there is no generic ONVIF fallback.
    {{"geovision"},
        CLASS(OnvifMD),            NONE,                      NONE,                      NONE},
};

#undef CLASS
#undef CHOOSE
#undef NONE

const DetPick kNoPick = {nullptr, nullptr};

}  // namespace

const DispatchRow* GetDispatchTable(int& rows) {
    rows = (int)(sizeof(kRows) / sizeof(kRows[0]));
    return kRows;
}

const DetPick& PickOf(const DispatchRow& row, int kind) {
    switch (kind) {
    case DET_TYPE_MD: return row.md;
    case DET_TYPE_DI: return row.di;
    case DET_TYPE_TD: return row.td;
    case DET_TYPE_AD: return row.ad;
    default: return kNoPick;
    }
}

DetChoice ChooseDetector(const FactoryInputs& in) {
    for (const DispatchRow& row : kRows) {
        for (const char* const* key = row.keys; *key; ++key) {
            if (in.api != *key) continue;
            const DetPick& pick = PickOf(row, in.kind);
            if (pick.cond) return pick.cond(in);
            DetChoice c;
            c.def = pick.def;
            return c;
        }
    }
    return kNone;
}

bool MakeDetAttr(int kind, BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                 BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap, BRObjectBase* rtpFetch,
                 DET_BASE_ATTR& attr) {
    attr = DET_BASE_ATTR();
    attr.camMediatorHdl = CamMediatorHandler(camMediator);
    attr.pCamApi = cameraApi ? dynamic_cast<CameraAPI*>(cameraApi) : nullptr;
    attr.evtBufHdl = EventBufHandler(eventBuf);
    if (kind == DET_TYPE_DI) attr.evtBufMapHdl = EventBufMapHandler(eventBufMap);
    attr.streamFifoHdl = StreamFifoHandler(streamFifo);
    attr.pCamCap = cameraCap ? dynamic_cast<CameraCap*>(cameraCap) : nullptr;
    if (rtpFetch) attr.rtpFetchHdl = RtpFetchHandler(rtpFetch);

    if (!attr.camMediatorHdl.IsValid() || !attr.pCamApi || !attr.evtBufHdl.IsValid()) return false;
    if (kind == DET_TYPE_DI && !attr.evtBufMapHdl.IsValid()) return false;
    if (!attr.pCamCap) return false;
    if (kind == DET_TYPE_DI && attr.pCamCap->GetDICnt() <= 0) return false;
    return true;
}

FactoryInputs ReadFactoryInputs(int kind, const DET_BASE_ATTR& attr) {
    FactoryInputs in;
    in.kind = kind;
    in.cap = attr.pCamCap;
    in.sf = attr.streamFifoHdl.IsValid();
    if (attr.pCamCap) in.api = attr.pCamCap->GetAPI();
    if (kind == DET_TYPE_DI) in.model = attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_MODEL);
    in.fmt = attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_FORMAT);
    return in;
}

BRObjectBase* CreateDetector(int kind, BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                             BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                             BRObjectBase* rtpFetch, bool flag) {
    DET_BASE_ATTR attr;
    if (!MakeDetAttr(kind, camMediator, cameraApi, eventBuf, eventBufMap, streamFifo, cameraCap, rtpFetch, attr)) {
        return nullptr;
    }

    const FactoryInputs in = ReadFactoryInputs(kind, attr);
    if (!flag) {
        switch (kind) {
        case DET_TYPE_MD: attr.pCamApi->PrepareMD(); break;
        case DET_TYPE_DI: attr.pCamApi->PrepareDI(); break;
        case DET_TYPE_TD: attr.pCamApi->PrepareTD(); break;
        case DET_TYPE_AD: attr.pCamApi->PrepareAD(); break;
        default: break;
        }
    }
    const DetChoice choice = ChooseDetector(in);
    if (!choice.def) return nullptr;
    return choice.def->make(attr, choice.args);
}
