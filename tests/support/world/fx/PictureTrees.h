#pragma once
// Helpers for tests that grow and prune random picture trees.
#include <vector>

#include "world/fx/Picture.h"

namespace quor::test {

// The pictures of `live` that lie in the subtree of `top` (itself included): what destroying or
// releasing `top` takes with it.
inline std::vector<world::PictureBase*> SubtreeOf(const std::vector<world::PictureBase*>& live,
                                               const world::PictureBase* top) {
    std::vector<world::PictureBase*> gone;
    for (world::PictureBase* x : live)
        for (const world::PictureBase* a = x; a; a = a->ParentBase())
            if (a == top) {
                gone.push_back(x);
                break;
            }
    return gone;
}

}  // namespace quor::test
