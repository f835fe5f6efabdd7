// The polled cameras' trigger tests by name, for tests and fuzzers. The name
// comes from the function's own token, so it cannot drift from it.
#include "camdet/rules/cgirules.h"

namespace {

#define MOTION(Name) {#Name, RULE_KIND_MD, &cgirule::Name}
#define INPUT(Name) {#Name, RULE_KIND_DI, &cgirule::Name}

const CgiRuleEntry kCgiRules[] = {
    MOTION(YcamV2Motion),
    MOTION(ArecontMotion),
    MOTION(SanyoMotion),
    MOTION(MessoaMotion),
    MOTION(MessoaProMotion),
    MOTION(MessoaSDK05Motion),
    MOTION(Messoa03Motion),
    MOTION(ComproMotion),
    MOTION(HuntMotion),
    MOTION(BrickcomMotion),
    MOTION(StorageMotion),
    MOTION(ZavioV3Motion),
    MOTION(CanonMotion),
    MOTION(FoscamMotion),
    MOTION(FoscamV2Motion),
    MOTION(BaslerMp4Motion),
    MOTION(ItxMotion),
    MOTION(RayliosMotion),
    MOTION(RayliosV2Motion),
    MOTION(HiSharpMotion),
    MOTION(BoschMotion),
    MOTION(BewardMotion),
    MOTION(SiemensMotion),
    MOTION(ShanyMotion),
    MOTION(NexcomMotion),
    MOTION(GrandStreamMotion),
    MOTION(TruenMotion),
    INPUT(AxisInput),
    INPUT(Vivotek2Input),
    INPUT(AirliveInput),
    INPUT(LevelOneGr5Input),
    INPUT(LevelOneGr1Input),
    INPUT(LevelOneGr4InputQuery),
    INPUT(YcamV2Input),
    INPUT(JvcInput),
    INPUT(EdimaxVPInput),
    INPUT(ActiInput),
    INPUT(ArecontInput),
    INPUT(SanyoInput),
    INPUT(PixordInput),
    INPUT(MessoaInput),
    INPUT(MessoaProInput),
    INPUT(MessoaSDK05Input),
    INPUT(MessoaA02Input),
    INPUT(Messoa03Input),
    INPUT(ComproInput),
    INPUT(HuntInput),
    INPUT(BrickcomInput),
    INPUT(StorageInput),
    INPUT(ZavioInput),
    INPUT(CanonInput),
    INPUT(FoscamInput),
    INPUT(FoscamV2Input),
    INPUT(BaslerMp4Input),
    INPUT(ItxInput),
    INPUT(ImegeInput),
    INPUT(StarDotInput),
    INPUT(BoschInput),
    INPUT(BewardInput),
    INPUT(SiemensInput),
    INPUT(ShanyInput),
    INPUT(NexcomInput),
    INPUT(TruenInput),
};

#undef MOTION
#undef INPUT

}  // namespace

const CgiRuleEntry* GetCgiRuleTable(int& rows) {
    rows = (int)(sizeof(kCgiRules) / sizeof(kCgiRules[0]));
    return kCgiRules;
}
