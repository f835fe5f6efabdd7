#include "tools/monitor/shard.h"

#include <stdint.h>

namespace {

// 64-bit FNV-1a of the name: spreads names that differ in one character.
uint64_t NameHash(const std::string& name) {
    uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

// The finaliser of splitmix64: every input bit reaches every output bit, so
// the weights of one name for different shards are as good as independent.
uint64_t Mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return x;
}

}  // namespace

int ShardOf(const std::string& name, int shards) {
    const uint64_t h = NameHash(name);
    int best = 1;
    uint64_t bestWeight = 0;
    for (int s = 1; s <= shards; ++s) {
        const uint64_t w = Mix(h + 0x9E3779B97F4A7C15ULL * (uint64_t)s);
        if (s == 1 || w > bestWeight) {
            best = s;
            bestWeight = w;
        }
    }
    return best;
}

std::vector<FleetCamera> CamerasOfShard(const std::vector<FleetCamera>& all, int shard, int shards) {
    std::vector<FleetCamera> out;
    for (const FleetCamera& c : all) {
        if (ShardOf(c.name, shards) == shard) out.push_back(c);
    }
    return out;
}
