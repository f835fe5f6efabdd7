// The detector classes the factories can create, by name. A class appears
// here once it is built; until then its dispatch rows yield no detector.
#include "camdet/detfactory.h"
#include "camdet/hikvisiondetector.h"

namespace {

const DetClassEntry kDetClasses[] = {
    {"HikVisionMD", &MakeDet<HikVisionMD>},
    {"HikVisionV3MD", &MakeDet<HikVisionV3MD>},
    {"HikVisionDI", &MakeDet<HikVisionDI>},
    {"HikVisionV3DI", &MakeDet<HikVisionV3DI>},
    {"HikVisionTD", &MakeDet<HikVisionTD>},
    {"HikVisionV3TD", &MakeDet<HikVisionV3TD>},
    {"HikVisionAD", &MakeDet<HikVisionAD>},
    // sentinel; keep last
    {nullptr, nullptr},
};

}  // namespace

const DetClassEntry* GetDetClassTable(int& rows) {
    rows = (int)(sizeof(kDetClasses) / sizeof(kDetClasses[0])) - 1;
    return kDetClasses;
}
