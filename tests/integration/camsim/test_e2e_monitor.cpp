// What camdet-monitor --json shows once a camera is back from an outage.
// (A wrong password end to end: FleetMqtt.HealthPerCameraAndAvailability.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "tests/fixtures/testsupport.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/monitor/recorder.h"

namespace {

const int kStepMs = 15000;  // bound of one expected change

}  // namespace

// Back from an outage, detectors that say nothing more (a stream camera that
// only speaks of changes) are shown as they hold, quiet, never left blank.
// (Their next word, and an input on through the outage: the fleet's health test.)
TEST(MonitorEndToEndHealth, BackFromAnOutageSilentDetectorsAreShown) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    camtest::StatusLog log(fds[0]);
    FILE* out = fdopen(fds[1], "w");
    setvbuf(out, nullptr, _IOLBF, 0);
    std::unique_ptr<StatusPrinter> printer(new StatusPrinter(out, true));
    using namespace BrellinOwned;
    CAM_HEALTH_REPORT rep;
    const int states[] = {CAM_HEALTH_OK, CAM_HEALTH_UNREACHABLE, CAM_HEALTH_OK};
    for (int i = 0; i < 3; ++i) {
        rep.state = states[i];
        rep.error = i == 1 ? "no answer from 127.0.0.1:80/events" : "";
        printer->Health(rep);
        if (i == 2) break;  // back: not a word from the detectors
        // Quiet, before the outage and as the outage left them.
        printer->Status(DET_TYPE_MD, -1, false, 0);
        printer->Status(DET_TYPE_DI, 0, false, 0);
    }
    // Before the outage and once more after the return.
    EXPECT_TRUE(WaitFor([&] { return log.Events().size() == 4; }, StatusPrinter::kShowAfterOkMs + kStepMs));
    printer.reset();
    fclose(out);
    ASSERT_TRUE(log.WaitEof(kStepMs));
    EXPECT_EQ(4u, log.Events().size()) << log.Text();
}
