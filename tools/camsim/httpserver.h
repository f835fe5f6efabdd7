// Inside the simulated camera's HTTP server: the queue between a streaming
// answer's producer thread and the connection, and the helpers the server
// and the stream writer share. Every wait is cut into slices that re-check
// whether the client is still there; a stop wakes the waits at once.
#ifndef TOOLS_CAMSIM_HTTPSERVER_H
#define TOOLS_CAMSIM_HTTPSERVER_H

#include <microhttpd.h>
#include <stdint.h>
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "tools/camsim/simtypes.h"

namespace camsim {

const int kSliceMs = 100;
// An idle stream's waits: a fleet keeps thousands of streams open, and each
// wake-up of their two threads costs more than the stream itself. A client
// that left is noticed within this time.
const int kStreamIdleMs = 1000;

struct StreamWriter::Channel {
    std::mutex mu;
    std::condition_variable cv;
    std::string buf;
    size_t pos = 0;
    bool producerDone = false;
    bool errorEnd = false;
    bool clientGone = false;
    MHD_Connection* conn = nullptr;
    std::atomic<bool>* stopping = nullptr;
    std::thread producer;
};

// True when the client has closed its connection (or it cannot be asked).
bool ClientGone(MHD_Connection* conn);
// `len` (at least 64) pseudo-random bytes, the same for the same seed.
std::string Garbage(size_t len, uint64_t seed);
// The content reader and its release of a streaming answer; cls is a
// heap-held std::shared_ptr<StreamWriter::Channel>.
ssize_t StreamBodyRead(void* cls, uint64_t pos, char* out, size_t max);
void StreamBodyFree(void* cls);

}  // namespace camsim

#endif  // TOOLS_CAMSIM_HTTPSERVER_H
