// The polling vendors' trigger tests by class name, for tables and fuzzers.
#include <string.h>

#include "camdet/vendors/cgivendordetector.h"

namespace {

const CgiRuleEntry kCgiRules[] = {
    {"YcamV2MD", DET_TYPE_MD, &cgirule::YcamV2MD},
    {"ArecontMD", DET_TYPE_MD, &cgirule::ArecontMD},
    {"SanyoMD", DET_TYPE_MD, &cgirule::SanyoMD},
    {"MessoaMD", DET_TYPE_MD, &cgirule::MessoaMD},
    {"MessoaProMD", DET_TYPE_MD, &cgirule::MessoaProMD},
    {"MessoaSDK05MD", DET_TYPE_MD, &cgirule::MessoaSDK05MD},
    {"Messoa03MD", DET_TYPE_MD, &cgirule::Messoa03MD},
    {"ComproMD", DET_TYPE_MD, &cgirule::ComproMD},
    {"HuntMD", DET_TYPE_MD, &cgirule::HuntMD},
    {"BrickcomMD", DET_TYPE_MD, &cgirule::BrickcomMD},
    {"StorageMD", DET_TYPE_MD, &cgirule::StorageMD},
    {"ZavioV3MD", DET_TYPE_MD, &cgirule::ZavioV3MD},
    {"CanonMD", DET_TYPE_MD, &cgirule::CanonMD},
    {"FoscamMD", DET_TYPE_MD, &cgirule::FoscamMD},
    {"FoscamV2MD", DET_TYPE_MD, &cgirule::FoscamV2MD},
    {"BaslerMp4MD", DET_TYPE_MD, &cgirule::BaslerMp4MD},
    {"ItxMD", DET_TYPE_MD, &cgirule::ItxMD},
    {"RayliosMD", DET_TYPE_MD, &cgirule::RayliosMD},
    {"RayliosV2MD", DET_TYPE_MD, &cgirule::RayliosV2MD},
    {"HiSharpMD", DET_TYPE_MD, &cgirule::HiSharpMD},
    {"BoschMD", DET_TYPE_MD, &cgirule::BoschMD},
    {"BewardMD", DET_TYPE_MD, &cgirule::BewardMD},
    {"SiemensMD", DET_TYPE_MD, &cgirule::SiemensMD},
    {"ShanyMD", DET_TYPE_MD, &cgirule::ShanyMD},
    {"NexcomMD", DET_TYPE_MD, &cgirule::NexcomMD},
    {"GrandStreamMD", DET_TYPE_MD, &cgirule::GrandStreamMD},
    {"TruenMD", DET_TYPE_MD, &cgirule::TruenMD},
    {"AirliveDI", DET_TYPE_DI, &cgirule::AirliveDI},
    {"LevelOneGr5DI", DET_TYPE_DI, &cgirule::LevelOneGr5DI},
    {"LevelOneGr1DI", DET_TYPE_DI, &cgirule::LevelOneGr1DI},
    {"LevelOneGr4DICgiQuery", DET_TYPE_DI, &cgirule::LevelOneGr4DICgiQuery},
    {"YcamV2DI", DET_TYPE_DI, &cgirule::YcamV2DI},
    {"JvcDI", DET_TYPE_DI, &cgirule::JvcDI},
    {"EdimaxVPDI", DET_TYPE_DI, &cgirule::EdimaxVPDI},
    {"ActiDI", DET_TYPE_DI, &cgirule::ActiDI},
    {"ArecontDI", DET_TYPE_DI, &cgirule::ArecontDI},
    {"SanyoDI", DET_TYPE_DI, &cgirule::SanyoDI},
    {"PixordDI", DET_TYPE_DI, &cgirule::PixordDI},
    {"MessoaDI", DET_TYPE_DI, &cgirule::MessoaDI},
    {"MessoaProDI", DET_TYPE_DI, &cgirule::MessoaProDI},
    {"MessoaSDK05DI", DET_TYPE_DI, &cgirule::MessoaSDK05DI},
    {"MessoaA02DI", DET_TYPE_DI, &cgirule::MessoaA02DI},
    {"Messoa03DI", DET_TYPE_DI, &cgirule::Messoa03DI},
    {"ComproDI", DET_TYPE_DI, &cgirule::ComproDI},
    {"HuntDI", DET_TYPE_DI, &cgirule::HuntDI},
    {"BrickcomDI", DET_TYPE_DI, &cgirule::BrickcomDI},
    {"StorageDI", DET_TYPE_DI, &cgirule::StorageDI},
    {"ZavioDI", DET_TYPE_DI, &cgirule::ZavioDI},
    {"CanonDI", DET_TYPE_DI, &cgirule::CanonDI},
    {"FoscamDI", DET_TYPE_DI, &cgirule::FoscamDI},
    {"FoscamV2DI", DET_TYPE_DI, &cgirule::FoscamV2DI},
    {"BaslerMp4DI", DET_TYPE_DI, &cgirule::BaslerMp4DI},
    {"ItxDI", DET_TYPE_DI, &cgirule::ItxDI},
    {"ImegeDI", DET_TYPE_DI, &cgirule::ImegeDI},
    {"StarDotDI", DET_TYPE_DI, &cgirule::StarDotDI},
    {"BoschDI", DET_TYPE_DI, &cgirule::BoschDI},
    {"BewardDI", DET_TYPE_DI, &cgirule::BewardDI},
    {"SiemensDI", DET_TYPE_DI, &cgirule::SiemensDI},
    {"ShanyDI", DET_TYPE_DI, &cgirule::ShanyDI},
    {"NexcomDI", DET_TYPE_DI, &cgirule::NexcomDI},
    {"TruenDI", DET_TYPE_DI, &cgirule::TruenDI},
};

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
