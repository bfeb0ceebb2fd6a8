#pragma once

namespace Memory {

// Hands the heap's free pages back to the system. After a large reply has been decoded (on a
// worker thread, whose heap arena would otherwise keep its peak), the process shrinks to what it
// really holds. Cheap enough to call after each catalogue load; does nothing off glibc.
void releaseFreedHeap();

} // namespace Memory
