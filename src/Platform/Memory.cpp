#include "Platform/Memory.h"

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
