#include "world/core/TransformStore.h"

#include "world/core/SpaceObject.h"
#include "world/core/Memory.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <new>

namespace quor::world {

namespace {
TransformStore* g_store = nullptr;
}

TransformStore& TransformStore::Instance() {
    // Not an object with static storage: objects with static storage may give their blocks
    // back after any destructor order the runtime picks. The module's unload frees it.
    static TransformStore* const store = [] {
        auto* made = new (std::nothrow) TransformStore();
        if (!made) OutOfMemory(sizeof(TransformStore));
        g_store = made;
        return made;
    }();
    return *store;
}

void TransformStore::ReleaseInstance() {
    if (!g_store) return;
    for (TransformBlock* chunk : g_store->m_chunks) std::free(chunk);
    delete g_store;
    g_store = nullptr;
}

TransformBlock* TransformStore::Acquire(SpaceObject* owner) {
    TransformBlock* block = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_free.empty()) {
            // The lowest free address first (a min-heap): a tree made after others went away
            // still lies in ascending order.
            std::pop_heap(m_free.begin(), m_free.end(), std::greater<>());
            block = m_free.back();
            m_free.pop_back();
        } else {
            if (m_tail == m_tailEnd) {
                void* memory = std::aligned_alloc(kChunkSpan, kChunkSpan);
                if (!memory) {
                    OutOfMemory(kChunkSpan);  // no caller can do without a block
                }
                auto* chunk = static_cast<TransformBlock*>(memory);
                m_chunks.push_back(chunk);
                m_tail = chunk;
                m_tailEnd = chunk + kBlocksPerChunk;
            }
            block = m_tail++;
        }
        ++m_live;
    }
    new (block) TransformBlock();
    MatrixIdentity(block->world);
    MatrixIdentity(block->rotation);
    TransformCold* cold = new (&block->Cold()) TransformCold();
    MatrixIdentity(cold->inverse);
    cold->owner = owner;
    return block;
}

void TransformStore::Release(TransformBlock* block) {
    if (!block) {
        return;
    }
    block->Cold().~TransformCold();
    block->~TransformBlock();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(block);
    std::push_heap(m_free.begin(), m_free.end(), std::greater<>());
    --m_live;
}

void TransformStore::BuildLocal(const TransformBlock& block, Matrix& out) {
    const float* r = block.rotation.m;
    const float sx = block.hasScale ? block.scale.x : 1.0f;
    const float sy = block.hasScale ? block.scale.y : 1.0f;
    const float sz = block.hasScale ? block.scale.z : 1.0f;
    float* o = out.m;
    o[0] = r[0] * sx;  o[1] = r[1] * sx;  o[2] = r[2] * sx;   o[3] = 0.0f;
    o[4] = r[4] * sy;  o[5] = r[5] * sy;  o[6] = r[6] * sy;   o[7] = 0.0f;
    o[8] = r[8] * sz;  o[9] = r[9] * sz;  o[10] = r[10] * sz; o[11] = 0.0f;
    o[12] = block.position.x; o[13] = block.position.y; o[14] = block.position.z; o[15] = 1.0f;
}

void TransformStore::Recompute(TransformBlock* block) {
    if (!block->parent) {
        BuildLocal(*block, block->world);
    } else {
        const Vec3 scale = block->hasScale ? block->scale : Vec3{1.0f, 1.0f, 1.0f};
        ComposeWorld(block->rotation, scale, block->position, World(block->parent), block->world);
    }
    block->valid |= TransformBlock::kWorld;
}

void TransformStore::Link(TransformBlock* block, TransformBlock* parent) {
    TransformBlock*& previous = block->Cold().previousSibling;
    if (TransformBlock* old = block->parent) {
        (previous ? previous->nextSibling : old->firstChild) = block->nextSibling;
        (block->nextSibling ? block->nextSibling->Cold().previousSibling : old->lastChild) =
            previous;
    }
    block->parent = parent;
    block->nextSibling = nullptr;
    previous = nullptr;
    if (parent) {
        previous = parent->lastChild;
        (parent->lastChild ? parent->lastChild->nextSibling : parent->firstChild) = block;
        parent->lastChild = block;
    }
}

namespace {
// The walks visit blocks in ascending order when the tree lies parent-before-child; asking for
// the walked line of blocks a little ahead hides the latency of following the list.
constexpr std::size_t kWalkLine = offsetof(TransformBlock, position) & ~std::size_t{63};
constexpr int kUpdateAhead = 16;
inline void PrefetchAhead(const TransformBlock* block) {
    __builtin_prefetch(reinterpret_cast<const char*>(block + 16) + kWalkLine, 1);
}
}  // namespace

void TransformStore::InvalidateBelow(TransformBlock* block) {
    for (TransformBlock* child = block->firstChild; child; child = child->nextSibling) {
        PrefetchAhead(child);
        if (child->ownWalk) {
            child->Cold().owner->InvalidateTransform();
            continue;
        }
        child->valid = 0;
        child->transformChanged = 1;
        if (child->firstChild) {
            InvalidateBelow(child);
        }
    }
}

void TransformStore::UpdateWorldMatrices(TransformBlock* root) {
    const Matrix& parentWorld = World(root);
    for (TransformBlock* child = root->firstChild; child; child = child->nextSibling) {
        // All three lines of the blocks ahead: the world is written, the rest read.
        const char* ahead = reinterpret_cast<const char*>(child + kUpdateAhead);
        __builtin_prefetch(ahead, 1);
        __builtin_prefetch(ahead + 64);
        __builtin_prefetch(ahead + 128);
        if (!(child->valid & TransformBlock::kWorld)) {
            const Vec3 scale = child->hasScale ? child->scale : Vec3{1.0f, 1.0f, 1.0f};
            ComposeWorld(child->rotation, scale, child->position, parentWorld, child->world);
            child->valid |= TransformBlock::kWorld;
        }
        if (child->firstChild) {
            UpdateWorldMatrices(child);
        }
    }
}

std::size_t TransformStore::LiveBlocks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_live;
}

std::size_t TransformStore::ChunkCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_chunks.size();
}

}  // namespace quor::world
