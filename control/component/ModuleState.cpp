// SPDX-License-Identifier: MIT
#include "ModuleState.h"

#include <atomic>
#include <cstdint>

namespace tessaline {

namespace {

std::atomic<int64_t> g_objects{0};
std::atomic<int64_t> g_locks{0};

// Never below zero: an unbalanced unlock from a host must not let a later
// lock look like nothing at all.
void Decrement(std::atomic<int64_t>& counter) {
    int64_t current = counter.load();
    while (current > 0 && !counter.compare_exchange_weak(current, current - 1)) {
    }
}

} // namespace

void ModuleObjectCreated() {
    ++g_objects;
}

void ModuleObjectDestroyed() {
    Decrement(g_objects);
}

void ModuleLock(bool lock) {
    if (lock) {
        ++g_locks;
    } else {
        Decrement(g_locks);
    }
}

bool ModuleInUse() {
    return g_objects.load() > 0 || g_locks.load() > 0;
}

} // namespace tessaline
