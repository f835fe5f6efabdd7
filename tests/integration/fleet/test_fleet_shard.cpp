// --shard K/N over a fixed set of 12,000 camera names of the shapes people
// give them. The hash is fixed, so these counts are the same on every run:
// the bounds, 10% around the expected share, are far outside what chance
// gives at this size.
#include <gtest/gtest.h>

#include <map>

#include "tools/monitor/shard.h"

namespace {

std::vector<FleetCamera> Names() {
    static const char* const kPrefixes[] = {"cam-", "front-door-", "yard_", "Lobby", "hik-ds2cd-", "p"};
    std::vector<FleetCamera> out;
    for (const char* p : kPrefixes) {
        for (int i = 1; i <= 2000; ++i) {
            FleetCamera c;
            c.name = p + std::to_string(i);
            out.push_back(c);
        }
    }
    return out;
}

TEST(Shard, EveryCameraInExactlyOneShardAndShardsEven) {
    const std::vector<FleetCamera> all = Names();
    for (int n : {1, 2, 3, 5, 8, 16}) {
        std::map<std::string, int> taken;
        for (int k = 1; k <= n; ++k) {
            const std::vector<FleetCamera> mine = CamerasOfShard(all, k, n);
            EXPECT_GT((double)mine.size(), all.size() * 0.9 / n) << k << "/" << n;
            EXPECT_LT((double)mine.size(), all.size() * 1.1 / n) << k << "/" << n;
            for (const FleetCamera& c : mine) taken[c.name]++;
        }
        ASSERT_EQ(all.size(), taken.size()) << n;
        for (const auto& kv : taken) ASSERT_EQ(1, kv.second) << kv.first << " in " << n;
    }
}

}  // namespace
