// SPDX-License-Identifier: MIT
#pragma once

namespace tessaline {

// What keeps the library loaded: live objects (controls and class-object
// references) and server locks.
void ModuleObjectCreated();
void ModuleObjectDestroyed();
void ModuleLock(bool lock);
// True while any object or lock is alive.
bool ModuleInUse();

} // namespace tessaline
