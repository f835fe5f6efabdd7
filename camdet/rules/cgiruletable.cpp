// The polling vendors' trigger tests by class name, for tables and fuzzers.
// The name comes from the function's own token, so it cannot drift from it.
#include "camdet/rules/cgirules.h"

namespace {

#define MOTION(Cls) {#Cls, RULE_KIND_MD, &cgirule::Cls}
#define INPUT(Cls) {#Cls, RULE_KIND_DI, &cgirule::Cls}

const CgiRuleEntry kCgiRules[] = {
    MOTION(YcamV2MD),
    MOTION(ArecontMD),
    MOTION(SanyoMD),
    MOTION(MessoaMD),
    MOTION(MessoaProMD),
    MOTION(MessoaSDK05MD),
    MOTION(Messoa03MD),
    MOTION(ComproMD),
    MOTION(HuntMD),
    MOTION(BrickcomMD),
    MOTION(StorageMD),
    MOTION(ZavioV3MD),
    MOTION(CanonMD),
    MOTION(FoscamMD),
    MOTION(FoscamV2MD),
    MOTION(BaslerMp4MD),
    MOTION(ItxMD),
    MOTION(RayliosMD),
    MOTION(RayliosV2MD),
    MOTION(HiSharpMD),
    MOTION(BoschMD),
    MOTION(BewardMD),
    MOTION(SiemensMD),
    MOTION(ShanyMD),
    MOTION(NexcomMD),
    MOTION(GrandStreamMD),
    MOTION(TruenMD),
    INPUT(AxisDI),
    INPUT(Vivotek2DI),
    INPUT(AirliveDI),
    INPUT(LevelOneGr5DI),
    INPUT(LevelOneGr1DI),
    INPUT(LevelOneGr4DICgiQuery),
    INPUT(YcamV2DI),
    INPUT(JvcDI),
    INPUT(EdimaxVPDI),
    INPUT(ActiDI),
    INPUT(ArecontDI),
    INPUT(SanyoDI),
    INPUT(PixordDI),
    INPUT(MessoaDI),
    INPUT(MessoaProDI),
    INPUT(MessoaSDK05DI),
    INPUT(MessoaA02DI),
    INPUT(Messoa03DI),
    INPUT(ComproDI),
    INPUT(HuntDI),
    INPUT(BrickcomDI),
    INPUT(StorageDI),
    INPUT(ZavioDI),
    INPUT(CanonDI),
    INPUT(FoscamDI),
    INPUT(FoscamV2DI),
    INPUT(BaslerMp4DI),
    INPUT(ItxDI),
    INPUT(ImegeDI),
    INPUT(StarDotDI),
    INPUT(BoschDI),
    INPUT(BewardDI),
    INPUT(SiemensDI),
    INPUT(ShanyDI),
    INPUT(NexcomDI),
    INPUT(TruenDI),
};

#undef MOTION
#undef INPUT

}  // namespace

const CgiRuleEntry* GetCgiRuleTable(int& rows) {
    rows = (int)(sizeof(kCgiRules) / sizeof(kCgiRules[0]));
    return kCgiRules;
}

const CgiRuleEntry* FindCgiRule(const std::string& cls) {
    for (const CgiRuleEntry& e : kCgiRules) {
        if (cls == e.cls) return &e;
    }
    return nullptr;
}
