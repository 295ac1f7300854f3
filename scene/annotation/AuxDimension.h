#pragma once
// Dimension annotation. So far only its place in the family: id 40 marks a design-review
// dimension, which carries the review id it belongs to.

#include "scene/annotation/AuxAnnotate.h"

#include <cstdint>

class AuxDimension : public AuxAnnotate {
public:
    enum { ID = 40 };

    AuxDimension() = default;
    AuxDimension(unsigned int id, KytLink* link) : AuxAnnotate(id, link) {}
    explicit AuxDimension(const AuxDimension* source);

    KytAuxContents* Duplicate() override;
    // A dimension has no annotation record: it is drawn on its part's visibility alone.
    bool IsDraw() const override { return AuxTarget::IsDraw(); }
    unsigned long GetDRID() const { return uDRID; }
    void SetDRID(unsigned long id) { uDRID = static_cast<uint32_t>(id); }

    uint32_t uDRID = 0;
};
