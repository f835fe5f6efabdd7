#include "camdet/factory/detfactory.h"

#include <string.h>

namespace {

DetChoice C(const char* cls, bool b = false, int kind = 0, int group = 0) {
    DetChoice c;
    c.cls = cls;
    c.b = b;
    c.kind = kind;
    c.group = group;
    return c;
}
const DetChoice kNone;

bool Api(const FactoryInputs& in, const char* word) { return in.cap && in.cap->IsApiSpecified(word); }

// Rows with no condition create the class with the record only.
#define PLAIN(cls) [](const FactoryInputs&) { return C(cls); }

// ------------------------------------------------------------------ motion

// PanaJpgDIMD function group for DI: the two models force group 2.
const DispatchRow kMotionRows[] = {
    {{"acti", "actitcm", "actide"}, PLAIN("ActiMD")},
    {{"axisv3", "axisv3s", "axisv5s"}, PLAIN("AxisMD")},
    {{"axisv5"},
     [](const FactoryInputs& in) {
         return in.fmt == 1 ? C("AxisJpgDetector", in.sf, 1) : C("AxisMp4Detector", in.sf, 1);
     }},
    {{"level1gr2"}, PLAIN("LevelOneGr2MD")},
    {{"level1gr4"}, PLAIN("LevelOneGr4MD")},
    // Matches only for JPEG; with another format no later key equals it.
    {{"panasonicfw1"}, [](const FactoryInputs& in) { return in.fmt == 1 ? C("PanaJpgDIMD", in.sf, 1, 0) : kNone; }},
    {{"panasonicfw3", "panasonicfw4", "panasonicmp"},
     [](const FactoryInputs& in) { return C("PanaJpgDIMD", in.fmt == 1 && in.sf, 1, 0); }},
    {{"panasonicipro", "panasonicipro3m"}, PLAIN("PanaMD")},
    {{"panasoniciprodome"}, PLAIN("PanaProMD")},
    {{"ipuxfw1", "ipux5m"},
     [](const FactoryInputs& in) { return (in.fmt == 1 && in.sf) ? C("IpuxStmFifoMD") : C("IpuxMD"); }},
    {{"vivotek2"}, [](const FactoryInputs& in) { return in.fmt == 1 ? C("VivotekJpgDetector", in.sf, 1, 0) : kNone; }},
    {{"vivotek7v1"}, [](const FactoryInputs& in) { return in.fmt == 2 ? C("VivotekMp4Detector", false, 1, 1) : kNone; }},
    {{"vivotek7v2"},
     [](const FactoryInputs& in) {
         if (in.fmt == 1) return C("VivotekJpgDetector", in.sf, 1, 2);
         if (in.fmt == 2) return C("VivotekMp4Detector", false, 1, 2);
         return kNone;
     }},
    {{"vivotek8"},
     [](const FactoryInputs& in) {
         return in.fmt == 1 ? C("VivotekJpgDetector", in.sf, 1, 3) : C("VivotekMp4Detector", false, 1, 3);
     }},
    {{"vivotekvs"},
     [](const FactoryInputs& in) {
         if (in.fmt == 1) return C("VivotekJpgDetector", in.sf, 1, 4);
         if (in.fmt == 2 || in.fmt == 3) return C("VivotekMp4Detector", false, 1, 4);
         return kNone;
     }},
    {{"ycam", "ycamv3"}, PLAIN("YcamMD")},
    {{"ycamv2"}, PLAIN("YcamV2MD")},
    {{"iqeyev1", "iqeyev3", "iqeyev4"}, PLAIN("IQeyeV1MD")},
    {{"iqeyev2"}, PLAIN("IQeyeV2MD")},
    {{"jvc", "jvcvnt", "jvcvnh"}, [](const FactoryInputs& in) { return C("JvcJpgMD", in.fmt == 1 && in.sf); }},
    {{"sonygen3", "sonygen4", "sonygen5", "sonygen6"}, PLAIN("SonyMD")},
    {{"mobotix"}, PLAIN("MobotixMD")},
    {{"edimaxv2", "edimaxv3"}, PLAIN("EdimaxMD")},
    {{"edimaxvp"}, PLAIN("EdimaxVPMD")},
    {{"dlinknipca", "dlinknipcav2", "dlinknipcav3", "dlinknipcav4"}, PLAIN("DLinkMD")},
    {{"dlinkdcsv9v2"}, PLAIN("DLinkV9V2MD")},
    {{"dahua"}, PLAIN("DahuaMD")},
    {{"airlivev1", "airlivev2", "airlivev3", "airlivegen2", "avipcv2"},
     [](const FactoryInputs& in) { return C("AirliveMD", Api(in, "VMD")); }},
    {{"arecont"}, PLAIN("ArecontMD")},
    {{"hikvision", "hikvisionv2"}, PLAIN("HikVisionMD")},
    {{"hikvisionv3"}, PLAIN("HikVisionV3MD")},
    {{"etrovision", "etrovisionv2", "etrovisionmp"}, PLAIN("EtrovisionMD")},
    {{"sanyohd2v1", "sanyohd2v2", "sanyohdv5"}, PLAIN("SanyoMD")},
    {{"pixordv1"}, PLAIN("PixordMD")},
    {{"psia"}, PLAIN("PsiaMD")},
    {{"messoa"}, PLAIN("MessoaMD")},
    {{"messoa-pro", "messoav2"}, PLAIN("MessoaProMD")},
    {{"messoasdk05"}, [](const FactoryInputs& in) { return C("MessoaSDK05MD", Api(in, "GROUP11")); }},
    {{"messoaa02"}, PLAIN("MessoaA02MD")},
    {{"messoa03"}, PLAIN("Messoa03MD")},
    {{"brickcom", "brickcomv2"}, PLAIN("BrickcomMD")},
    {{"compro", "comproip530"}, PLAIN("ComproMD")},
    {{"hunt"}, PLAIN("HuntMD")},
    {{"storageoptions"}, PLAIN("StorageMD")},
    {{"zaviomega", "zaviomegav2", "zaviomegav4", "zaviovga"}, PLAIN("ZavioMD")},
    {{"zavioprofile", "zaviomegav3"}, PLAIN("ZavioV3MD")},
    {{"canon"}, PLAIN("CanonMD")},
    {{"foscam"}, PLAIN("FoscamMD")},
    {{"foscam-h264-v2"}, PLAIN("FoscamV2MD")},
    {{"basler"},
     [](const FactoryInputs& in) {
         if (in.fmt == 1) return C("BaslerJpgMD", in.sf);
         if (in.fmt == 2 || in.fmt == 3) return C("BaslerMp4MD");
         return kNone;
     }},
    {{"itx"}, PLAIN("ItxMD")},
    {{"samsung", "samsungv2"}, PLAIN("SamsungMD")},
    {{"eneov2"}, PLAIN("EneoMD")},
    {{"imege"}, PLAIN("ImegeMD")},
    {{"stardot"}, PLAIN("StarDotStmFifoMD")},
    {{"raylios"}, PLAIN("RayliosMD")},
    {{"rayliosv2"}, PLAIN("RayliosV2MD")},
    {{"hitron", "hitronv2", "hitronv3"}, PLAIN("HitronMD")},
    {{"avtech", "avtechp", "avtechv2"}, PLAIN("AVTECHMD")},
    {{"everfocus"}, PLAIN("EverFocusMD")},
    {{"alinking", "alinking-cmos"}, PLAIN("AlinkingMD")},
    {{"hisharp"}, PLAIN("HiSharpMD")},
    {{"lilin"}, PLAIN("LilinMD")},
    {{"bosch"}, PLAIN("BoschMD")},
    {{"beward"}, PLAIN("BewardMD")},
    {{"siemens"}, PLAIN("SiemensMD")},
    {{"shany"}, PLAIN("ShanyMD")},
    {{"oncamgrandeye"}, PLAIN("OncamGrandeyeMD")},
    {{"acumen"}, PLAIN("AcumenMD")},
    {{"nexcom"}, PLAIN("NexcomMD")},
    {{"grandstream"}, PLAIN("GrandStreamMD")},
    {{"truen"}, PLAIN("TruenMD")},
    {{"onvif", "geovision"}, PLAIN("OnvifMD")},
};

// ------------------------------------------------------------------ digital input

const DispatchRow kDigitalRows[] = {
    {{"acti", "actitcm", "actide"}, PLAIN("ActiDI")},
    {{"axisv3", "axisv3s", "axisv5s"}, PLAIN("AxisDI")},
    {{"axisv5"},
     [](const FactoryInputs& in) {
         if (Api(in, "DI_CGI_QUERY")) return C("AxisDI");
         return in.fmt == 1 ? C("AxisJpgDetector", in.sf, 2) : C("AxisMp4Detector", in.sf, 2);
     }},
    {{"panasonicfw1", "panasonicfw3", "panasonicfw4", "panasonicmp"},
     [](const FactoryInputs& in) {
         bool sf = in.fmt == 1 && in.sf;
         if (in.model == "BB-HCM701" || in.model == "BB-HCM705") return C("PanaJpgDIMD", sf, 2, 2);
         if (in.fmt == 1) return C("PanaJpgDIMD", sf, 2, 0);
         if (in.fmt == 2) return C("PanaJpgDIMD", sf, 2, 1);
         return kNone;
     }},
    {{"panasonicipro", "panasonicipro3m"}, PLAIN("PanaDI")},
    {{"panasoniciprodome"}, PLAIN("PanaProDI")},
    {{"ipuxfw1", "ipux5m"},
     [](const FactoryInputs& in) { return (in.fmt == 1 && in.sf) ? C("IpuxStmFifoDI") : C("IpuxDI"); }},
    {{"vivotek2", "vivotek7v1"}, PLAIN("Vivotek2DI")},
    {{"vivotek8"}, [](const FactoryInputs&) { return C("Vivotek8DI", false, 2, 3); }},
    {{"vivotek7v2"}, [](const FactoryInputs&) { return C("Vivotek8DI", false, 2, 2); }},
    {{"vivotekvs"}, [](const FactoryInputs&) { return C("Vivotek8DI", false, 2, 4); }},
    {{"level1gr1"}, PLAIN("LevelOneGr1DI")},
    {{"level1gr4"},
     [](const FactoryInputs& in) {
         if (in.model == "FCS-1141" || Api(in, "DI_CGI_QUERY")) return C("LevelOneGr4DICgiQuery");
         return C("LevelOneGr4DI");
     }},
    {{"level1gr5"}, PLAIN("LevelOneGr5DI")},
    {{"iqeyev2", "iqeyev3", "iqeyev4"}, PLAIN("IQeyeDI")},
    {{"jvc", "jvcvnt", "jvcvnh"}, PLAIN("JvcDI")},
    {{"sonygen2", "sonygen3", "sonygen4", "sonygen5", "sonygen6"}, PLAIN("SonyDI")},
    {{"mobotix"}, PLAIN("MobotixDI")},
    {{"airlivev1", "airlivev2", "airlivev3", "airlivegen2", "avipcv2"}, PLAIN("AirliveDI")},
    {{"dlinknipca", "dlinknipcav2", "dlinknipcav3"}, PLAIN("DLinkDI")},
    {{"dahua"}, PLAIN("DahuaDI")},
    {{"hikvision", "hikvisionv2"}, PLAIN("HikVisionDI")},
    {{"hikvisionv3"}, PLAIN("HikVisionV3DI")},
    {{"etrovision", "etrovisionv2", "etrovisionmp"}, PLAIN("EtrovisionDI")},
    {{"sanyohd2v1", "sanyohd2v2", "sanyohdv5"}, PLAIN("SanyoDI")},
    {{"pixordv1"}, PLAIN("PixordDI")},
    {{"psia"}, PLAIN("PsiaDI")},
    {{"messoa"}, PLAIN("MessoaDI")},
    {{"messoa-pro", "messoav2"}, PLAIN("MessoaProDI")},
    {{"messoasdk05"}, [](const FactoryInputs& in) { return C("MessoaSDK05DI", Api(in, "GROUP11")); }},
    {{"messoaa02"}, PLAIN("MessoaA02DI")},
    {{"messoa03"}, PLAIN("Messoa03DI")},
    {{"brickcom", "brickcomv2"}, PLAIN("BrickcomDI")},
    {{"compro", "comproip530"}, PLAIN("ComproDI")},
    {{"hunt"}, PLAIN("HuntDI")},
    {{"storageoptions"}, PLAIN("StorageDI")},
    {{"zaviomega", "zaviomegav2", "zaviomegav4", "zaviovga", "zavioprofile"}, PLAIN("ZavioDI")},
    {{"canon", "canon-v2"}, PLAIN("CanonDI")},
    {{"foscam"}, PLAIN("FoscamDI")},
    {{"foscam-h264-v2"}, PLAIN("FoscamV2DI")},
    {{"basler"},
     [](const FactoryInputs& in) {
         if (in.fmt == 1) return C("BaslerJpgDI", in.sf);
         if (in.fmt == 2 || in.fmt == 3) return C("BaslerMp4DI");
         return kNone;
     }},
    {{"itx"}, PLAIN("ItxDI")},
    {{"samsung", "samsungv2"}, PLAIN("SamsungDI")},
    {{"eneov2"}, PLAIN("EneoDI")},
    {{"imege"}, PLAIN("ImegeDI")},
    {{"stardot"}, PLAIN("StarDotDI")},
    {{"ycamv2"}, PLAIN("YcamV2DI")},
    {{"hitron", "hitronv2", "hitronv3"}, PLAIN("HitronDI")},
    {{"edimaxvp"}, PLAIN("EdimaxVPDI")},
    {{"avtech", "avtechp", "avtechv2"}, PLAIN("AVTECHDI")},
    {{"everfocus"}, PLAIN("EverFocusDI")},
    {{"alinking", "alinking-cmos"}, PLAIN("AlinkingDI")},
    {{"lilin"}, PLAIN("LilinDI")},
    {{"lilinv2"}, PLAIN("LilinV2DI")},
    {{"bosch"}, PLAIN("BoschDI")},
    {{"beward"}, PLAIN("BewardDI")},
    {{"siemens"}, PLAIN("SiemensDI")},
    {{"shany"}, PLAIN("ShanyDI")},
    {{"arecont"}, PLAIN("ArecontDI")},
    {{"oncamgrandeye"}, PLAIN("OncamGrandeyeDI")},
    {{"acumen"}, PLAIN("AcumenDI")},
    {{"nexcom"}, PLAIN("NexcomDI")},
    {{"truen"}, PLAIN("TruenDI")},
    {{"onvif"}, PLAIN("OnvifDI")},
};

// ------------------------------------------------------------------ tampering

const DispatchRow kTamperingRows[] = {
    {{"axisv5"},
     [](const FactoryInputs& in) {
         return in.fmt == 1 ? C("AxisJpgDetector", in.sf, 3) : C("AxisMp4Detector", in.sf, 3);
     }},
    {{"vivotek8"},
     [](const FactoryInputs& in) {
         return in.fmt == 1 ? C("VivotekJpgDetector", in.sf, 3, 3) : C("VivotekMp4Detector", false, 3, 3);
     }},
    {{"samsung"}, PLAIN("SamsungTD")},
    {{"eneov2"}, PLAIN("EneoTD")},
    {{"level1gr4"}, PLAIN("LevelOneGr4TD")},
    {{"hikvisionv2"}, PLAIN("HikVisionTD")},
    {{"hikvisionv3"}, PLAIN("HikVisionV3TD")},
    {{"alinking-cmos"}, PLAIN("AlinkingTD")},
    {{"dahua"}, PLAIN("DahuaTD")},
    {{"onvif"}, PLAIN("OnvifTD")},
};

// ------------------------------------------------------------------ audio

const DispatchRow kAudioRows[] = {
    {{"axisv5"},
     [](const FactoryInputs& in) {
         return in.fmt == 1 ? C("AxisJpgDetector", in.sf, 4) : C("AxisMp4Detector", in.sf, 4);
     }},
    {{"samsung"}, PLAIN("SamsungAD")},
    {{"dlinknipcav3"}, PLAIN("DLinkAD")},
    {{"hikvisionv3"}, PLAIN("HikVisionAD")},
    {{"onvif"}, PLAIN("OnvifAD")},
};

#undef PLAIN

template <size_t N>
const DispatchRow* Table(const DispatchRow (&rows)[N], int& count) {
    count = (int)N;
    return rows;
}

}  // namespace

const DispatchRow* GetDispatchTable(int kind, int& rows) {
    switch (kind) {
    case DET_TYPE_MD: return Table(kMotionRows, rows);
    case DET_TYPE_DI: return Table(kDigitalRows, rows);
    case DET_TYPE_TD: return Table(kTamperingRows, rows);
    case DET_TYPE_AD: return Table(kAudioRows, rows);
    default: rows = 0; return nullptr;
    }
}

DetChoice ChooseDetector(int kind, const FactoryInputs& in) {
    int rows = 0;
    const DispatchRow* table = GetDispatchTable(kind, rows);
    for (int r = 0; r < rows; ++r) {
        for (const char* const* key = table[r].keys; *key; ++key) {
            if (in.api == *key) return table[r].rule(in);
        }
    }
    return kNone;
}

BRObjectBase* DetClassRegistry::Create(const DetChoice& choice, const DET_BASE_ATTR& attr) const {
    if (!choice.cls) return nullptr;
    int rows = 0;
    const DetClassEntry* table = GetDetClassTable(rows);
    for (int i = 0; i < rows; ++i) {
        if (strcmp(table[i].cls, choice.cls) == 0) return table[i].make(attr, choice);
    }
    return nullptr;
}

const DetClassRegistry& DetClassRegistry::Default() {
    static const DetClassRegistry registry;
    return registry;
}

BRObjectBase* CreateDetector(int kind, BRObjectBase* camMediator, BRObjectBase* cameraApi, BRObjectBase* eventBuf,
                             BRObjectBase* eventBufMap, BRObjectBase* streamFifo, BRObjectBase* cameraCap,
                             BRObjectBase* rtpFetch, bool flag, const DetClassRegistry& registry) {
    DET_BASE_ATTR attr;
    attr.camMediatorHdl = CamMediatorHandler(camMediator);
    attr.pCamApi = cameraApi ? dynamic_cast<CameraAPI*>(cameraApi) : nullptr;
    attr.evtBufHdl = EventBufHandler(eventBuf);
    if (kind == DET_TYPE_DI) attr.evtBufMapHdl = EventBufMapHandler(eventBufMap);
    attr.streamFifoHdl = StreamFifoHandler(streamFifo);
    attr.pCamCap = cameraCap ? dynamic_cast<CameraCap*>(cameraCap) : nullptr;
    if (rtpFetch) attr.rtpFetchHdl = RtpFetchHandler(rtpFetch);

    if (!attr.camMediatorHdl.IsValid() || !attr.pCamApi || !attr.evtBufHdl.IsValid()) return nullptr;
    if (kind == DET_TYPE_DI && !attr.evtBufMapHdl.IsValid()) return nullptr;
    if (!attr.pCamCap) return nullptr;
    if (kind == DET_TYPE_DI && attr.pCamCap->GetDICnt() <= 0) return nullptr;

    FactoryInputs in;
    in.cap = attr.pCamCap;
    in.sf = attr.streamFifoHdl.IsValid();
    in.api = attr.pCamCap->GetAPI();
    if (kind == DET_TYPE_DI) in.model = attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_MODEL);
    in.fmt = attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_FORMAT);

    if (!flag) {
        switch (kind) {
        case DET_TYPE_MD: attr.pCamApi->PrepareMD(); break;
        case DET_TYPE_DI: attr.pCamApi->PrepareDI(); break;
        case DET_TYPE_TD: attr.pCamApi->PrepareTD(); break;
        case DET_TYPE_AD: attr.pCamApi->PrepareAD(); break;
        default: break;
        }
    }
    return registry.Create(ChooseDetector(kind, in), attr);
}
