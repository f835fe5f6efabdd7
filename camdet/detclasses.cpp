// The detector classes the factories can create, by name. A class appears
// here once it is built; until then its dispatch rows yield no detector.
#include "camdet/detfactory.h"

namespace {

const DetClassEntry kDetClasses[] = {
    // sentinel; keep last
    {nullptr, nullptr},
};

}  // namespace

const DetClassEntry* GetDetClassTable(int& rows) {
    rows = (int)(sizeof(kDetClasses) / sizeof(kDetClasses[0])) - 1;
    return kDetClasses;
}
