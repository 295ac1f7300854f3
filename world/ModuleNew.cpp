#include <new>

#include "world/core/Memory.h"

// The throwing forms of the global operator new, built into libworld.so only: its symbol
// map keeps them local, so they serve the module's own code and no one else's (the static
// archive that tests link leaves the process's operator new alone). They take the block from
// the runtime's nothrow forms, so every block still goes back through its operator delete.
void* operator new(std::size_t size) {
    if (void* p = ::operator new(size, std::nothrow)) return p;
    quor::OutOfMemory(size);
}

void* operator new[](std::size_t size) {
    if (void* p = ::operator new[](size, std::nothrow)) return p;
    quor::OutOfMemory(size);
}

void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* p = ::operator new(size, alignment, std::nothrow)) return p;
    quor::OutOfMemory(size);
}

void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (void* p = ::operator new[](size, alignment, std::nothrow)) return p;
    quor::OutOfMemory(size);
}
