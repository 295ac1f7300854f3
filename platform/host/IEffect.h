#pragma once

namespace quor::render {

// An effect of the host's renderer (techniques, render states, named parameters).
class IEffect {
public:
    // The draw pass the effect's technique belongs to.
    virtual int GetDrawPass() = 0;
    virtual void SetTechniqueName(const char* name) = 0;

protected:
    ~IEffect() = default;
};

}  // namespace quor::render
