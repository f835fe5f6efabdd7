// --shard K/N over a fixed set of 12,000 camera names of the shapes people
// give them. The hash is fixed, so these counts are the same on every run:
// the bounds are what rendezvous hashing promises, 10% around the
// expected share, far outside what chance gives at this size (a modulo hash,
// which moves N/(N+1) of the cameras, fails them by far).
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

void ExpectShare(size_t got, double want, const std::string& what) {
    EXPECT_GT((double)got, want * 0.9) << what;
    EXPECT_LT((double)got, want * 1.1) << what;
}

TEST(Shard, EveryCameraInExactlyOneShardAndShardsEven) {
    const std::vector<FleetCamera> all = Names();
    for (int n : {1, 2, 3, 5, 8, 16}) {
        std::map<std::string, int> taken;
        for (int k = 1; k <= n; ++k) {
            const std::vector<FleetCamera> mine = CamerasOfShard(all, k, n);
            ExpectShare(mine.size(), (double)all.size() / n, std::to_string(k) + "/" + std::to_string(n));
            for (const FleetCamera& c : mine) taken[c.name]++;
        }
        ASSERT_EQ(all.size(), taken.size()) << n;
        for (const auto& kv : taken) ASSERT_EQ(1, kv.second) << kv.first << " in " << n;
    }
}

TEST(Shard, AnotherShardTakesOnlyItsShare) {
    const std::vector<FleetCamera> all = Names();
    for (int n = 1; n <= 12; ++n) {
        size_t moved = 0;
        for (const FleetCamera& c : all) {
            const int before = ShardOf(c.name, n);
            const int after = ShardOf(c.name, n + 1);
            if (before == after) continue;
            moved++;
            // Between the old shards nothing moves: only to the new one.
            ASSERT_EQ(n + 1, after) << c.name << " " << before << "/" << n;
        }
        ExpectShare(moved, (double)all.size() / (n + 1), "from " + std::to_string(n));
    }
}

}  // namespace
