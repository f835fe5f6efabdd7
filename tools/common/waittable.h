// The kernel's table of this process's waiting threads, sized for a recorder
// or a simulator with thousands of threads.
#ifndef TOOLS_COMMON_WAITTABLE_H
#define TOOLS_COMMON_WAITTABLE_H

#include <stddef.h>
#include <sys/prctl.h>

// Gives the process room for `threads` waiting threads in the kernel's table
// of futex waiters. Linux 6.16 and later give each multi-threaded process a
// table of its own sized by the CPUs, not the threads (16 slots on two CPUs),
// and every wake-up walks the waiters that share its slot: with thousands of
// detector threads each waiting on its own condition variable, most of the
// HTTP engine's time went into those walks. Returns the slots now in use, 0
// when the kernel has no such table (older kernels: nothing to do there).
inline size_t SizeWaitTable(size_t threads) {
    // From linux/prctl.h of 6.16; absent from older headers.
    const int kPrFutexHash = 78, kSetSlots = 1, kGetSlots = 2;
    // About one waiter per slot, a power of two as the kernel requires, and a
    // bound far above any fleet (64 KiB of kernel memory per 1,024 slots).
    size_t slots = 16;
    while (slots < threads && slots < (1u << 16)) slots <<= 1;
    const int now = prctl(kPrFutexHash, kGetSlots, 0, 0, 0);
    if (now < 0) return 0;
    if ((size_t)now >= slots) return (size_t)now;
    if (prctl(kPrFutexHash, kSetSlots, (unsigned long)slots, 0, 0) != 0) return (size_t)now;
    return slots;
}

#endif  // TOOLS_COMMON_WAITTABLE_H
