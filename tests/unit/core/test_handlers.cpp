// Function tables and handlers: typed calls by ID, and the failure lines with
// their default results (a null object's: DetectorLifecycleTest.Construction...).
#include <gtest/gtest.h>

#include "camdet/api/entrypoints.h"
#include "camdet/core/eventdetector.h"
#include "dupfromox/oxdebuglog.h"
#include "host/recorder/camhost.h"
#include "interface/detectorfuncs.h"
#include "tests/fixtures/testsupport.h"

namespace {

const char* kNotRegMsg =
    "Error: Some Functor is not registered properly. Check the template argument list and Function ID.";
const char* kDowncastMsg = "Error: Failed to downcast BRObjectBase.";

class Other : public BRObjectBase {};

// A detector whose thread does nothing but wait for Stop.
class IdleDetector : public CamDetector {
public:
    explicit IdleDetector(DET_BASE_ATTR a) : CamDetector(a) {}
    ~IdleDetector() override { Stop(); }
    int DetMain() override {
        while (IsActivated()) usleep(1000);
        return 0;
    }
};

class PlainDetector : public DetectorBase {
public:
    explicit PlainDetector(DET_BASE_ATTR a) : DetectorBase(a) {}
    int DetMain() override { return 0; }
    void ApplyDetParam(int) override {}
};

class DetHandler : public BRSlotHandler<DET_FUNC_COUNT> {
public:
    explicit DetHandler(BRObjectBase* o) { SetHandlerBase(o, GetDetectorFuncTable(), "DetHandler"); }
};

struct FailureCase {
    const char* name;
    int id;
    bool wrongSignature;
    bool wrongObject;
    const char* message;
};

TEST(HandlerTest, FailuresLogTheFixedLineAndYieldDefaults) {
    const FailureCase cases[] = {
        {"ID 2 typed as int", DET_FUNC_IS_ACTIVATED, true, false, kNotRegMsg},
        {"absent ID", DET_FUNC_COUNT, false, false, kNotRegMsg},
        {"object of another class", DET_FUNC_START, false, true, kDowncastMsg},
    };
    CameraRig rig;
    const DET_BASE_ATTR attr = rig.Attr();
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        IdleDetector det(attr);
        Other other;
        DetHandler h(c.wrongObject ? static_cast<BRObjectBase*>(&other) : &det);
        LogCapture log;
        if (c.id >= DET_FUNC_COUNT && !c.wrongSignature) {
            EXPECT_FALSE(h.Call<bool>(c.id));
        } else {
            EXPECT_EQ(0, h.Call<int>(c.id));
        }
        std::string text = log.Text();
        EXPECT_NE(std::string::npos, text.find(c.message)) << text;
        // The detector was never called: it is not running.
        EXPECT_FALSE(det.IsActivated());
    }
}

// Start and Stop through the table: every end-to-end run (the monitor calls
// its detectors by ID). ID 4 goes to the most derived override; parameters
// set by ID are sent as the detector's own.
TEST(HandlerTest, CallsByIdReachTheMostDerivedOverride) {
    CameraRig rig;
    const DET_BASE_ATTR attr = rig.Attr();
    IdleDetector det(attr);
    DetHandler h(&det);
    SharingReset reset;
    det.LinkShareDet(DET_TYPE_MD);
    EXPECT_TRUE(h.Call<bool>(DET_FUNC_IS_SHARE_ENABLED));
    PlainDetector plain(attr);
    DetHandler hp(&plain);
    EXPECT_FALSE(hp.Call<bool>(DET_FUNC_IS_SHARE_ENABLED));
    std::map<int, std::string> p = {{6, "7"}};
    h.Call<void, int, const std::map<int, std::string>&, int>(DET_FUNC_SET_DET_PARAM, DET_TYPE_TD, p, 0);
    h.Call<void, int, int, int, int>(DET_FUNC_SET_MD_PARAM, 1, 2, 3, 4);
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(det.IsActivated());
    det.Stop();
    std::vector<RecordingCameraAPI::AppliedParam> applied = rig.api.GetAppliedParams();
    ASSERT_EQ(2u, applied.size());
    EXPECT_EQ(DET_TYPE_MD, applied[0].kind);
    EXPECT_EQ(DET_TYPE_TD, applied[1].kind);
    EXPECT_EQ("7", applied[1].params[6]);
}

}  // namespace
