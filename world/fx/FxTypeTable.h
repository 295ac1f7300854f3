#pragma once
#include <cstddef>

#include "world/core/Memory.h"

namespace quor::world {

class FxBase;

// Makes a node of one kind; null when memory is exhausted.
using FxCreator = FxBase* (*)();

template <class T>
FxBase* NewFx() {
    return NewObject<T>();
}

// One kind of effect node: the element name that selects it and its creator. A kind without a
// creator yet is skipped like an unknown name.
struct FxTypeEntry {
    const char* name;
    FxCreator create;
};

constexpr std::size_t kFxTypeCount = 11;
// The kinds in the order the loader compares element names (exactly).
extern const FxTypeEntry FxTypeTable[kFxTypeCount];

// The creator of an element name, or null.
FxCreator FindFxCreator(const char* elementName);

}  // namespace quor::world
