#pragma once
// While the process holds passwords and tokens it must not be dumped: no
// core file, and no other process of the same user may read its memory
// (Linux: not dumpable; elsewhere nothing to do).
namespace SecretMemory {
// Called once at start, before any secret is read. False when the system
// refused.
bool keepOutOfDumps();
// True when the process is not dumpable (always false where that cannot be
// asked).
bool outOfDumps();
}
