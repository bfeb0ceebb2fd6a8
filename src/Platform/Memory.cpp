#include "Platform/Memory.h"

// Brings in the C library's own macros (__GLIBC__) before they are tested.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Memory {

void releaseFreedHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace Memory
