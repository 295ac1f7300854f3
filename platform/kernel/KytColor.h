#pragma once
#include <vector>

// Colour of one index of the kernel's material table.
struct KytMaterial {
    bool bHasColor = true;
    float afColor[4] = {0.8f, 0.8f, 0.8f, 1.0f};
};

// The kernel's material table, indexed by a triangle's colour index.
class KytColor {
public:
    static KytMaterial* matarray;  // may be null
    static unsigned uArraySize;

    // Installs a table the kernel keeps until the next call (an empty one clears it).
    static void SetTable(const std::vector<KytMaterial>& table);
};

// One entry of a custom colour table.
struct KytCustomColorEntry {
    float afColor[4] = {1, 1, 1, 1};
    float afEmission[4] = {0, 0, 0, 1};
    bool bVisible = true;
    bool bTransparent = false;
    bool bOutline = false;
    bool bEmission = false;
    bool bLit = true;
    bool bUsePartColor = false;
};

class KytColorTable {
public:
    std::vector<KytCustomColorEntry> entries;
    unsigned GetCount() const { return static_cast<unsigned>(entries.size()); }
    KytCustomColorEntry* Get(unsigned i) { return i < entries.size() ? &entries[i] : nullptr; }
};

class KytCustomColor {
public:
    static bool bEnableVisible;
    static bool IsEnableVisible() { return bEnableVisible; }
};
