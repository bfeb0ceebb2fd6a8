#pragma once

namespace Memory {

// Hands the heap's free pages back to the system. After a large reply has been decoded (on a
// worker thread, whose heap arena would otherwise keep its peak), the process shrinks to what it
// really holds. Cheap enough to call after each catalogue load; does nothing off glibc.
void releaseFreedHeap();

// The same, a second after the last call and off the GUI thread: for a page that goes away with
// thousands of rows. Its objects are freed over a few turns of the event loop, and the small
// blocks they leave keep the heap from shrinking by itself (a closed 16,000-track playlist would
// otherwise stay in the process). Called on the GUI thread.
//
// The allocator's own mmap threshold is left as glibc sets it. Fixing it (at its starting
// 128 KiB) would send every large block back to the system when freed, but the renderer's
// buffers over that size are then mapped and unmapped on every frame: page faults and TLB
// shootdowns for a tenth of the window's CPU. Trimming after a page closes gives the memory back
// at a cost paid once (bench/measure-window.sh shows the A/B, bench_long_lists the cycles).
void releaseFreedHeapSoon();

} // namespace Memory
