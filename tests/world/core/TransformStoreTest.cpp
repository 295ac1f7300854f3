#include "tests/support/world/scene/TestScene.h"
#include "world/core/TransformStore.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "world/core/SpaceObject.h"
#include "world/core/VisibleObject.h"
#include "world/scene/ObjectIdMap.h"
#include "world/scene/SceneBase.h"

namespace quor::world {
namespace {

class TransformStoreTest : public ::testing::Test {
protected:
    void TearDown() override { ObjectIdMap::Instance().Reset(); }
};

TEST_F(TransformStoreTest, EveryObjectHasABlockFromMakingToDestroyingAndGivesItBack) {
    TransformStore& store = TransformStore::Instance();
    const std::size_t before = store.LiveBlocks();
    {
        std::vector<std::unique_ptr<SpaceObject>> objects;
        for (int i = 0; i < 3000; ++i) {
            objects.push_back(i % 2 ? std::make_unique<SpaceObject>() : std::make_unique<VisibleObject>());
        }
        EXPECT_EQ(store.LiveBlocks(), before + 3000);
        std::set<const TransformBlock*> blocks;
        for (auto& o : objects) {
            const TransformBlock* b = o->GetTransformBlock();
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 64, 0u);
            blocks.insert(b);
        }
        EXPECT_EQ(blocks.size(), 3000u);
    }
    EXPECT_EQ(store.LiveBlocks(), before);
    // Given-back blocks are used again before the store grows.
    const std::size_t chunks = store.ChunkCount();
    { std::vector<std::unique_ptr<SpaceObject>> again(3000);
      for (auto& o : again) o = std::make_unique<SpaceObject>(); }
    EXPECT_EQ(store.ChunkCount(), chunks);
}

TEST_F(TransformStoreTest, ReferencesStayValidThroughMovesReparentingAndScenes) {
    quor::test::TestScene first(1, nullptr), second(1, nullptr);
    SpaceObject parent, child, loose;
    first.AttachObject(&parent);
    first.AttachObject(&child);
    const Matrix* world = &child.GetWorldMatrix();
    const Vec3* position = child.GetPosition();
    const Matrix* rotation = child.GetRotation();
    const Vec3* scale = child.GetScale();
    const Matrix* inverse = &child.GetInverseWorldMatrix();
    ASSERT_TRUE(parent.AddChild(&child, true));
    parent.SetPosition(Vec3{1, 2, 3});
    child.SetScale(Vec3{2, 2, 2});
    child.SetWorldMatrix(MatrixIdentity());
    // Out of one scene and into another, as moving an object between scenes does.
    child.SetRootNode(nullptr);
    child.SetScene(&second);
    second.AttachObject(&child);
    for (int i = 0; i < 100; ++i) {
        SpaceObject churn;  // blocks come and go around it
        churn.SetPosition(Vec3{float(i), 0, 0});
    }
    EXPECT_EQ(&child.GetWorldMatrix(), world);
    EXPECT_EQ(child.GetPosition(), position);
    EXPECT_EQ(child.GetRotation(), rotation);
    EXPECT_EQ(child.GetScale(), scale);
    EXPECT_EQ(&child.GetInverseWorldMatrix(), inverse);
    // An object in no scene reads and writes its transform like any other.
    loose.SetPosition(Vec3{4, 5, 6});
    EXPECT_EQ(loose.GetWorldMatrix().Row(3), (Vec3{4, 5, 6}));
    EXPECT_EQ(loose.GetScene(), nullptr);
}

TEST_F(TransformStoreTest, ATreeMadeInFileOrderLiesParentBeforeChild) {
    // Made in preorder, as a scene file lists a node and then its subtree: every block lies
    // after its parent's, so a recompute visits memory in ascending order.
    std::vector<std::unique_ptr<SpaceObject>> nodes;
    std::vector<int> parents{-1};
    nodes.push_back(std::make_unique<SpaceObject>());
    for (int i = 1; i < 2500; ++i) {
        parents.push_back((i - 1) / 3);
        nodes.push_back(std::make_unique<SpaceObject>());
        ASSERT_TRUE(nodes[static_cast<std::size_t>(parents.back())]->AddChild(nodes.back().get(), false));
    }
    // Chunks come from the system allocator in whatever address order it picks, so the order
    // is promised only between blocks of one chunk.
    const auto chunkOf = [](const TransformBlock* block) {
        return reinterpret_cast<std::uintptr_t>(block) & ~(TransformStore::kChunkSpan - 1);
    };
    int sameChunk = 0;
    int ascending = 0;
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const TransformBlock* own = nodes[i]->GetTransformBlock();
        EXPECT_EQ(own->parent, nodes[static_cast<std::size_t>(parents[i])]->GetTransformBlock());
        if (chunkOf(own) == chunkOf(own->parent)) {
            ++sameChunk;
            ascending += own > own->parent;
        }
    }
    // Blocks given back by earlier tests are reused first, so the order holds for nearly all.
    EXPECT_GT(sameChunk, 500);
    EXPECT_GT(ascending, sameChunk - 100);
    // The parent links follow the hierarchy operations.
    SpaceObject* leaf = nodes.back().get();
    leaf->SetParent(nullptr);
    EXPECT_EQ(leaf->GetTransformBlock()->parent, nullptr);
    ASSERT_TRUE(nodes[7]->AddAttachment(leaf, true));
    EXPECT_EQ(leaf->GetTransformBlock()->parent, nodes[7]->GetTransformBlock());
    while (!nodes.empty()) {
        nodes.pop_back();  // children first
    }
}

TEST_F(TransformStoreTest, InvalidationMarksAndTheFramesUpdateRecomputesTheTree) {
    // A tree with a camera-like subclass in the middle (it reacts to invalidation itself) and
    // an attachment: after the root moves, every block below is stale until the update, which
    // leaves exactly what reading each object would have computed.
    struct Hooked : SpaceObject {
        void InvalidateTransform() override {
            ++calls;
            SpaceObject::InvalidateTransform();
        }
        int calls = 0;
    };
    std::vector<std::unique_ptr<SpaceObject>> nodes;
    auto hooked = std::make_unique<Hooked>();
    Hooked* hook = hooked.get();
    nodes.push_back(std::make_unique<SpaceObject>());
    nodes.push_back(std::make_unique<VisibleObject>());
    nodes.push_back(std::move(hooked));
    for (int i = 0; i < 6; ++i) {
        nodes.push_back(std::make_unique<SpaceObject>());
    }
    ASSERT_TRUE(nodes[0]->AddChild(nodes[1].get(), false));
    ASSERT_TRUE(nodes[1]->AddChild(nodes[2].get(), false));
    ASSERT_TRUE(nodes[2]->AddChild(nodes[3].get(), false));
    ASSERT_TRUE(nodes[3]->AddAttachment(nodes[4].get(), false));
    ASSERT_TRUE(nodes[0]->AddChild(nodes[5].get(), false));
    ASSERT_TRUE(nodes[5]->AddChild(nodes[6].get(), false));
    ASSERT_TRUE(nodes[6]->AddChild(nodes[7].get(), false));
    ASSERT_TRUE(nodes[0]->AddChild(nodes[8].get(), false));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i]->SetPosition(Vec3{float(i), 1, 0});
        nodes[i]->SetScale(Vec3{1.5f, 1, 0.5f});
        nodes[i]->Rotate(Vec3{0, 1, 0}, 0.3f * float(i));
    }
    std::vector<Matrix> expected;
    for (auto& o : nodes) {
        expected.push_back(o->GetWorldMatrix());
    }
    hook->calls = 0;
    nodes[0]->SetPosition(Vec3{5, 5, 5});
    EXPECT_EQ(hook->calls, 1);
    for (auto& o : nodes) {
        EXPECT_FALSE(o->GetTransformBlock()->valid & TransformBlock::kWorld);
        EXPECT_TRUE(o->IsTransformChanged());
    }
    TransformStore::UpdateWorldMatrices(nodes[0]->GetTransformBlock());
    std::vector<Matrix> updated;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        ASSERT_TRUE(nodes[i]->GetTransformBlock()->valid & TransformBlock::kWorld) << i;
        updated.push_back(nodes[i]->GetWorldMatrix());
    }
    nodes[0]->InvalidateTransform();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(updated[i], nodes[i]->GetWorldMatrix()) << i;  // the same as a read computes
        if (i > 0) {
            EXPECT_FALSE(updated[i] == expected[i]) << i;  // and it did move
        }
    }
    // Removing a child from the middle of its parent's list keeps the others reachable.
    ASSERT_TRUE(nodes[0]->RemoveChild(nodes[5].get(), true));
    nodes[0]->SetPosition(Vec3{0, 0, 0});
    EXPECT_FALSE(nodes[8]->GetTransformBlock()->valid & TransformBlock::kWorld);
    EXPECT_FALSE(nodes[3]->GetTransformBlock()->valid & TransformBlock::kWorld);
    while (!nodes.empty()) {
        nodes.pop_back();
    }
}

TEST_F(TransformStoreTest, EightThreadsMakingAndDestroyingObjectsShareTheStore) {
    TransformStore& store = TransformStore::Instance();
    const std::size_t before = store.LiveBlocks();
    std::vector<std::thread> threads;
    std::vector<std::vector<const TransformBlock*>> seen(8);
    // Kept alive until every thread is done, so no block is given back and reused meanwhile.
    std::vector<std::vector<std::unique_ptr<SpaceObject>>> kept(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &seen, &kept] {
            std::vector<std::unique_ptr<SpaceObject>>& mine = kept[static_cast<std::size_t>(t)];
            for (int i = 0; i < 500; ++i) {
                mine.push_back(std::make_unique<SpaceObject>());
                mine.back()->SetPosition(Vec3{float(t), float(i), 0});
                if (i % 3 == 0) {
                    mine.erase(mine.begin());
                }
            }
            for (auto& o : mine) {
                seen[static_cast<std::size_t>(t)].push_back(o->GetTransformBlock());
                if (o->GetWorldMatrix().Row(3).x != float(t)) {
                    seen[static_cast<std::size_t>(t)].push_back(nullptr);
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    std::set<const TransformBlock*> all;
    std::size_t count = 0;
    for (const auto& list : seen) {
        for (const TransformBlock* b : list) {
            ASSERT_NE(b, nullptr) << "a block was shared between threads";
            all.insert(b);
            ++count;
        }
    }
    EXPECT_EQ(all.size(), count);
    kept.clear();
    EXPECT_EQ(store.LiveBlocks(), before);
}

}  // namespace
}  // namespace quor::world
