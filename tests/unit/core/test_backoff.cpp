#include "interface/backoff.h"

#include <gtest/gtest.h>

using BrellinOwned::ReconnectBackoff;

TEST(ReconnectBackoff, DoublesToThirtySecondsAndRestartsAfterAConnectionThatRan) {
    ReconnectBackoff b;
    const int64_t expected[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (int64_t ms : expected) EXPECT_EQ(ms, b.NextWaitMs(false, 5000));
    // Something came but the camera ended it at once: still not a run.
    EXPECT_EQ(30000, b.NextWaitMs(true, 999));
    EXPECT_EQ(0, b.NextWaitMs(true, 1000));
    EXPECT_EQ(1000, b.NextWaitMs(true, 10));
}
