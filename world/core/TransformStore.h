#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor::world {

class SpaceObject;

struct TransformCold;

// The hot transform state of one SpaceObject: what an invalidation marks and what a
// world-matrix recompute reads and writes, in three cache lines (world out; rotation in;
// position, scale, flags and the tree links in, which is all an invalidation walk touches).
// The inverse and the rarely followed links live in a TransformCold record beside it, so that
// the per-frame passes stream through hot lines only.
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
    // The blocks of the children and attachments, as a list in the order they were adopted:
    // the walks follow it without visiting the objects, and in a tree made in file order that
    // is ascending address order.
    TransformBlock* firstChild = nullptr;
    TransformBlock* lastChild = nullptr;
    TransformBlock* nextSibling = nullptr;
    std::uint8_t valid = 0;
    std::uint8_t hasScale = 0;
    std::uint8_t transformChanged = 0;
    // Set when the owner's class reacts to invalidation itself (anything but a plain
    // SpaceObject or VisibleObject): the walk then calls its InvalidateTransform.
    std::uint8_t ownWalk = 0;

    // The record beside this block.
    inline TransformCold& Cold() const;
};
static_assert(sizeof(TransformBlock) == 192, "three cache lines");

struct alignas(64) TransformCold {
    Matrix inverse;
    SpaceObject* owner = nullptr;
    TransformBlock* previousSibling = nullptr;
};
static_assert(sizeof(TransformCold) == 128, "two cache lines");

// The process-wide pool the transform blocks come from.
//
// Why: the per-frame transform work (an invalidation walk down a moved subtree, then one
// world-matrix recompute per object) used to chase pointers through objects of several hundred
// bytes spread over the heap. Here the state it needs lives in fixed-size blocks packed into
// large chunks, so that the recompute of a tree is close to a linear pass over memory.
//
// Layout: chunks of kBlocksPerChunk blocks followed by their cold records, each chunk aligned
// to its span so a block finds its record by address arithmetic. Chunks are never moved or
// given back while the process runs, so a block's address is stable for its owner's whole life
// and the references GetWorldMatrix, GetPosition and the other getters hand out stay valid.
// New blocks come from the lowest free address first, then from the unused tail of the last
// chunk, so within a chunk they are handed out in ascending address order (chunks themselves
// lie wherever the system allocator puts them): a tree made in file order (each
// node before its subtree, as the scene readers build it) lies parent-before-child in
// ascending addresses, and the child lists keep adoption order, so both walks below visit
// memory front to back. Blocks are not re-packed: their addresses are promised to the callers.
//
// Walks: InvalidateBelow marks a subtree by following the blocks' child lists; an owner whose
// class reacts to invalidation itself gets its InvalidateTransform called (which marks its own
// subtree). Invalidation only marks; the next read of a cache (World) or the frame's update of
// a tree (UpdateWorldMatrices) recomputes, each block from its parent's block, never visiting
// the objects.
//
// Ownership: an object takes its block in its constructor and gives it back in its destructor,
// so it has one while it belongs to no scene (objects read from a file before they are
// attached, effect children) and keeps it when it moves from one scene to another.
//
// Threads: objects are made and destroyed on loader threads as well as on the main thread,
// so taking and giving back a block is locked; the blocks themselves follow the objects'
// rules (a tree's transforms change and are walked under its scene's object lock, or by the
// one thread that holds an object outside any scene).
class TransformStore {
public:
    // A chunk holds kBlocksPerChunk blocks followed by as many cold records, and is aligned to
    // its (power-of-two) span, so a block finds its record from its own address.
    static constexpr std::size_t kBlocksPerChunk = 1024;
    static constexpr std::size_t kColdOffset = sizeof(TransformBlock) * kBlocksPerChunk;
    static constexpr std::size_t kChunkSpan = 512 * 1024;
    static_assert(kColdOffset + sizeof(TransformCold) * kBlocksPerChunk <= kChunkSpan);

    static TransformStore& Instance();
    // Frees the store and every chunk; only when the module is unloaded, after every object.
    static void ReleaseInstance();

    // A block with identity rotation, world and inverse, unit scale, no parent, nothing valid.
    TransformBlock* Acquire(SpaceObject* owner);
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

    // Moves a block under another parent block (null: none), keeping the child lists.
    static void Link(TransformBlock* block, TransformBlock* parent);
    // Marks the world-derived caches of every block below this one stale; an owner with its
    // own reaction gets its InvalidateTransform called instead (which walks its own subtree).
    static void InvalidateBelow(TransformBlock* block);
    // The frame's update of a tree: recomputes every stale world matrix of the block and all
    // blocks below it, parents first, touching blocks only.
    static void UpdateWorldMatrices(TransformBlock* root);
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

inline TransformCold& TransformBlock::Cold() const {
    const auto address = reinterpret_cast<std::uintptr_t>(this);
    const std::uintptr_t chunk = address & ~(TransformStore::kChunkSpan - 1);
    const std::size_t index = (address - chunk) / sizeof(TransformBlock);
    return reinterpret_cast<TransformCold*>(chunk + TransformStore::kColdOffset)[index];
}

}  // namespace quor::world
