#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor::world {

// The hot transform state of one SpaceObject: what an invalidation marks and what a
// world-matrix recompute reads and writes. Four cache lines, ordered so that a recompute
// touches the first three only (world out; rotation, position, scale and parent link in) and
// the inverse, needed by far fewer objects, sits alone in the last.
struct alignas(64) TransformBlock {
    // Bits of `valid`.
    static constexpr std::uint8_t kWorld = 1;
    static constexpr std::uint8_t kInverse = 2;
    // Two bits the owner's subclasses keep for caches derived from the world matrix (the
    // visible objects' parent- and world-space bounds); cleared with the others.
    static constexpr std::uint8_t kDerived0 = 4;
    static constexpr std::uint8_t kDerived1 = 8;

    Matrix world;
    Matrix rotation;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 scale{1.0f, 1.0f, 1.0f};
    // The parent's block (null without a parent): the recompute never visits the parent object.
    TransformBlock* parent = nullptr;
    std::uint8_t valid = 0;
    std::uint8_t hasScale = 0;
    std::uint8_t transformChanged = 0;
    Matrix inverse;
};
static_assert(sizeof(TransformBlock) == 256, "four cache lines");

// The process-wide pool the transform blocks come from.
//
// Why: the per-frame transform work (an invalidation walk down a moved subtree, then one
// world-matrix recompute per object) used to chase pointers through objects of several hundred
// bytes spread over the heap. Here the state it needs lives in fixed-size blocks packed into
// large chunks, so that the recompute of a tree is close to a linear pass over memory.
//
// Layout: chunks of kBlocksPerChunk blocks, 64-byte aligned, never moved or given back while
// the process runs, so a block's address is stable for its owner's whole life and the
// references GetWorldMatrix, GetPosition and friends hand out stay valid. New blocks come from
// the lowest free address first, then from the unused tail of the last chunk, so blocks are
// handed out in ascending address order: a tree made in file order (each node before its subtree, as the scene readers and
// the hierarchy operations build it) therefore lies parent-before-child in ascending
// addresses, which is the order both the invalidation and the recompute then visit.
//
// Ownership: an object takes its block in its constructor and gives it back in its
// destructor, so it has one while it belongs to no scene (objects read from a file before
// they are attached, effect children) and keeps it when it moves from one scene to another.
// Invalidation only marks (clears the valid bits down the subtree); the next read of a cache,
// or the frame's update, recomputes from the parent's block.
//
// Threads: objects are made and destroyed on loader threads as well as on the main thread,
// so taking and giving back a block is locked; the blocks themselves follow the objects'
// rules (transforms change on the main thread only).
class TransformStore {
public:
    static constexpr std::size_t kBlocksPerChunk = 1024;

    static TransformStore& Instance();

    // A block with identity rotation, world and inverse, unit scale, no parent, nothing valid.
    TransformBlock* Acquire();
    void Release(TransformBlock* block);

    // The local matrix of a block (scale only when has-scale is set).
    static void BuildLocal(const TransformBlock& block, Matrix& out);
    // The world matrix of a block, recomputed from its parent's (itself first when stale)
    // when the block's own is stale.
    static const Matrix& World(TransformBlock* block) {
        if (__builtin_expect(!(block->valid & TransformBlock::kWorld), 0)) {
            Recompute(block);
        }
        return block->world;
    }

    // Blocks handed out and not given back (for tests and leak checks).
    std::size_t LiveBlocks() const;
    std::size_t ChunkCount() const;

private:
    TransformStore() = default;
    static void Recompute(TransformBlock* block);

    mutable std::mutex m_mutex;
    std::vector<TransformBlock*> m_chunks;
    // Given-back blocks, a min-heap on the address.
    std::vector<TransformBlock*> m_free;
    // Unused blocks at the end of the last chunk.
    TransformBlock* m_tail = nullptr;
    TransformBlock* m_tailEnd = nullptr;
    std::size_t m_live = 0;
};

}  // namespace quor::world
