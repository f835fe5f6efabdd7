// --shard K/N: several monitors share one configuration file, each running
// the cameras of its shard. A camera belongs to the shard that gives its name
// the highest weight (rendezvous hashing), so
//   - every camera is in exactly one shard, whatever else the file holds
//     (adding or removing a camera never moves another one);
//   - going from N to N+1 shards moves only the cameras the new shard wins,
//     about 1/(N+1) of them, and none between the old shards.
// The weights are a fixed function of the name and the shard number, the same
// on every machine and word size: all monitors of an installation must agree
// on it, so it never changes between versions.
#ifndef TOOLS_MONITOR_SHARD_H
#define TOOLS_MONITOR_SHARD_H

#include <string>
#include <vector>

#include "tools/monitor/fleetconfig.h"

// The shard (1..shards) that runs the camera `name`; shards >= 1.
int ShardOf(const std::string& name, int shards);

// The cameras of shard `shard` of `shards`, in file order.
std::vector<FleetCamera> CamerasOfShard(const std::vector<FleetCamera>& all, int shard, int shards);

#endif  // TOOLS_MONITOR_SHARD_H
