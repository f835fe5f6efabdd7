// The detector classes the factories can create, by name. A class appears
// here once it is built; until then its dispatch rows yield no detector.
#include "camdet/cgivendordetector.h"
#include "camdet/detfactory.h"
#include "camdet/hikvisiondetector.h"
#include "camdet/onvifdetector.h"

namespace {

const DetClassEntry kDetClasses[] = {
    {"HikVisionMD", &MakeDet<HikVisionMD>},
    {"HikVisionV3MD", &MakeDet<HikVisionV3MD>},
    {"HikVisionDI", &MakeDet<HikVisionDI>},
    {"HikVisionV3DI", &MakeDet<HikVisionV3DI>},
    {"HikVisionTD", &MakeDet<HikVisionTD>},
    {"HikVisionV3TD", &MakeDet<HikVisionV3TD>},
    {"HikVisionAD", &MakeDet<HikVisionAD>},
    {"OnvifMD", &MakeDet<OnvifMD>},
    {"OnvifDI", &MakeDet<OnvifDI>},
    {"OnvifTD", &MakeDet<OnvifTD>},
    {"OnvifAD", &MakeDet<OnvifAD>},
    // Polled over a CGI
    {"YcamV2MD", &MakeDet<YcamV2MD>},
    {"ArecontMD", &MakeDet<ArecontMD>},
    {"SanyoMD", &MakeDet<SanyoMD>},
    {"MessoaMD", &MakeDet<MessoaMD>},
    {"MessoaProMD", &MakeDet<MessoaProMD>},
    {"MessoaSDK05MD", &MakeDetB<MessoaSDK05MD>},
    {"Messoa03MD", &MakeDet<Messoa03MD>},
    {"BrickcomMD", &MakeDet<BrickcomMD>},
    {"ComproMD", &MakeDet<ComproMD>},
    {"HuntMD", &MakeDet<HuntMD>},
    {"StorageMD", &MakeDet<StorageMD>},
    {"ZavioV3MD", &MakeDet<ZavioV3MD>},
    {"CanonMD", &MakeDet<CanonMD>},
    {"FoscamMD", &MakeDet<FoscamMD>},
    {"FoscamV2MD", &MakeDet<FoscamV2MD>},
    {"BaslerMp4MD", &MakeDet<BaslerMp4MD>},
    {"ItxMD", &MakeDet<ItxMD>},
    {"RayliosMD", &MakeDet<RayliosMD>},
    {"RayliosV2MD", &MakeDet<RayliosV2MD>},
    {"HiSharpMD", &MakeDet<HiSharpMD>},
    {"BoschMD", &MakeDet<BoschMD>},
    {"BewardMD", &MakeDet<BewardMD>},
    {"SiemensMD", &MakeDet<SiemensMD>},
    {"ShanyMD", &MakeDet<ShanyMD>},
    {"NexcomMD", &MakeDet<NexcomMD>},
    {"GrandStreamMD", &MakeDet<GrandStreamMD>},
    {"TruenMD", &MakeDet<TruenMD>},
    {"ActiDI", &MakeDet<ActiDI>},
    {"LevelOneGr1DI", &MakeDet<LevelOneGr1DI>},
    {"LevelOneGr4DICgiQuery", &MakeDet<LevelOneGr4DICgiQuery>},
    {"LevelOneGr5DI", &MakeDet<LevelOneGr5DI>},
    {"JvcDI", &MakeDet<JvcDI>},
    {"AirliveDI", &MakeDet<AirliveDI>},
    {"SanyoDI", &MakeDet<SanyoDI>},
    {"PixordDI", &MakeDet<PixordDI>},
    {"MessoaDI", &MakeDet<MessoaDI>},
    {"MessoaProDI", &MakeDet<MessoaProDI>},
    {"MessoaSDK05DI", &MakeDetB<MessoaSDK05DI>},
    {"MessoaA02DI", &MakeDet<MessoaA02DI>},
    {"Messoa03DI", &MakeDet<Messoa03DI>},
    {"BrickcomDI", &MakeDet<BrickcomDI>},
    {"ComproDI", &MakeDet<ComproDI>},
    {"HuntDI", &MakeDet<HuntDI>},
    {"StorageDI", &MakeDet<StorageDI>},
    {"ZavioDI", &MakeDet<ZavioDI>},
    {"CanonDI", &MakeDet<CanonDI>},
    {"FoscamDI", &MakeDet<FoscamDI>},
    {"FoscamV2DI", &MakeDet<FoscamV2DI>},
    {"BaslerMp4DI", &MakeDet<BaslerMp4DI>},
    {"ItxDI", &MakeDet<ItxDI>},
    {"ImegeDI", &MakeDet<ImegeDI>},
    {"StarDotDI", &MakeDet<StarDotDI>},
    {"YcamV2DI", &MakeDet<YcamV2DI>},
    {"EdimaxVPDI", &MakeDet<EdimaxVPDI>},
    {"BoschDI", &MakeDet<BoschDI>},
    {"BewardDI", &MakeDet<BewardDI>},
    {"SiemensDI", &MakeDet<SiemensDI>},
    {"ShanyDI", &MakeDet<ShanyDI>},
    {"ArecontDI", &MakeDet<ArecontDI>},
    {"NexcomDI", &MakeDet<NexcomDI>},
    {"TruenDI", &MakeDet<TruenDI>},
    // sentinel; keep last
    {nullptr, nullptr},
};

}  // namespace

const DetClassEntry* GetDetClassTable(int& rows) {
    rows = (int)(sizeof(kDetClasses) / sizeof(kDetClasses[0])) - 1;
    return kDetClasses;
}
