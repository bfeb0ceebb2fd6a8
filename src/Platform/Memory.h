#pragma once

namespace Memory {

// Hands the heap's free pages back to the system. After a large reply has been decoded (on a
// worker thread, whose heap arena would otherwise keep its peak), the process shrinks to what it
// really holds. Cheap enough to call after each catalogue load; does nothing off glibc.
void releaseFreedHeap();

// Large blocks (decoded pictures, reply bodies) from now on always come straight from the system
// and go back to it when freed. By default glibc raises that size each time such a block is
// freed, after which every decoded picture lands in a worker thread's heap and stays there: a
// scroll over a grid of covers would keep hundreds of megabytes. Called once, first thing.
void returnLargeBlocksWhenFreed();

// The same, a second after the last call and off the GUI thread: for a page that goes away with
// thousands of rows. Its objects are freed over a few turns of the event loop, and the small
// blocks they leave keep the heap from shrinking by itself (a closed 16,000-track playlist would
// otherwise stay in the process). Called on the GUI thread.
void releaseFreedHeapSoon();

} // namespace Memory
