#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/world/scene/TestScene.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/ModelList.h"

namespace {

using namespace quor;
using namespace quor::world;

// A mesh that counts device resets and can be told to fail them.
class CountingMesh : public Mesh {
public:
    bool OnDeviceReset() override {
        ++*resets;
        return succeed;
    }
    int* resets = nullptr;
    bool succeed = true;
};

// A model whose ray test answers a fixed parameter (or misses) and whose mesh can be told to
// fail a device reset; pickable models have their mesh's vertex colours switched on.
class TestModel : public Model {
public:
    explicit TestModel(float t = 2.0f, bool pickable = true, bool resets = true) : m_t(t) {
        auto* mesh = new CountingMesh();
        mesh->resets = &this->resets;
        mesh->succeed = resets;
        mesh->Switches().vertexColor = pickable ? 1 : 0;
        mesh->AddRef();
        m_mesh.store(mesh);
    }
    bool IntersectRay(const Ray&, std::uint32_t* a, float* t, int) override {
        if (m_t < 0) return false;
        *t = m_t;
        *a = m_detail;
        return true;
    }
    float m_t;
    std::uint32_t m_detail = 0;
    int resets = 0;
};

Ray UnitRay() {
    Ray r;
    r.origin = Vec3{0, 0, 0};
    r.direction = Vec3{0, 0, 10};
    return r;
}

TEST(ModelList, AddAndGroups) {
    ModelList list;
    auto* a = new TestModel();
    auto* b = new TestModel();
    auto* c = new TestModel();
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_TRUE(list.Add(a));
    EXPECT_FALSE(list.Add(a)) << "a model is listed once";
    EXPECT_TRUE(list.Add(b));
    EXPECT_TRUE(list.Add(c));
    EXPECT_EQ(list.Count(), 3);
    ASSERT_TRUE(list.AddGroup({a, b}));
    EXPECT_FALSE(list.AddGroup({a, c})) << "a model belongs to one group";
    EXPECT_EQ(list.FindGroup(a), list.FindGroup(b));
    // Removing one of two leaves a group of one, which is dissolved.
    list.Remove(a);
    EXPECT_EQ(list.GroupCount(), 0);
    EXPECT_EQ(list.FindGroup(b), nullptr);
    EXPECT_EQ(b->inGroup, 0);
    EXPECT_EQ(list.Count(), 2);
    list.Remove(a);  // unlisted: ignored (and not freed twice)
    EXPECT_EQ(list.Count(), 2);
}

TEST(ModelList, FindByNameComparesThirtyTwoCharacters) {
    ModelList list;
    auto* m = new TestModel();
    m->SetShortName(std::string(31, 'n').c_str());
    list.Add(m);
    EXPECT_EQ(list.FindByName((std::string(31, 'n')).c_str()), m);
    EXPECT_EQ(list.FindByName((std::string(31, 'n') + "tail").c_str()), nullptr);
    EXPECT_EQ(list.FindByName(std::string(30, 'n').c_str()), nullptr);
    EXPECT_EQ(list.FindByName(nullptr), nullptr);
}

TEST(ModelList, PickNearest) {
    struct Case {
        std::vector<float> ts;  // negative: miss
        int expected;           // index, -1 none
    };
    const Case cases[] = {
        {{0.5f, 0.25f, 0.75f}, 1},
        {{0.5f, 0.5f}, 0},      // ties: the first in list order
        {{1.0f, 3.0f}, -1},     // t = 1.0 is the far end: no hit
        {{-1.0f, 0.99f}, 1},
        {{}, -1},
    };
    for (const Case& c : cases) {
        ModelList list;
        std::vector<TestModel*> models;
        for (float t : c.ts) {
            models.push_back(new TestModel(t));
            list.Add(models.back());
        }
        float t = -1;
        std::uint32_t detail = 99;
        ModelBase* picked = list.PickNearest(UnitRay(), &t, &detail, nullptr);
        if (c.expected < 0) {
            EXPECT_EQ(picked, nullptr);
            EXPECT_EQ(t, 1.0f);
            EXPECT_EQ(ModelList::GetLastPickPoint(), nullptr);
        } else {
            EXPECT_EQ(picked, models[static_cast<std::size_t>(c.expected)]);
            EXPECT_EQ(t, c.ts[static_cast<std::size_t>(c.expected)]);
            const float* point = ModelList::GetLastPickPoint();
            ASSERT_NE(point, nullptr);
            EXPECT_FLOAT_EQ(point[2], 10.0f * t);
        }
    }
}

TEST(ModelList, PicksOnlyPickableModelsOfTheFilter) {
    ModelList list;
    auto* hidden = new TestModel(0.1f, false);
    auto* a = new TestModel(0.5f);
    auto* b = new TestModel(0.3f);
    for (TestModel* m : {hidden, a, b}) list.Add(m);
    EXPECT_EQ(list.PickNearest(UnitRay(), nullptr, nullptr, nullptr), b);
    const std::vector<ModelBase*> filter = {a};
    EXPECT_EQ(list.PickNearest(UnitRay(), nullptr, nullptr, &filter), a);
}

TEST(ModelList, PickAllAtAgainstASort) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> param(0.0f, 1.5f);
    for (int round = 0; round < 20; ++round) {
        ModelList list;
        std::vector<std::pair<float, ModelBase*>> hits;
        const int n = 1 + round % 9;
        for (int i = 0; i < n; ++i) {
            // Quarter steps make ties frequent.
            const float t = std::floor(param(random) * 4.0f) / 4.0f;
            auto* m = new TestModel(t);
            list.Add(m);
            if (t < 1.0f) hits.push_back({t, m});
        }
        std::stable_sort(hits.begin(), hits.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        for (int room : {1, 3, 16}) {
            std::vector<ModelBase*> models(static_cast<std::size_t>(room));
            std::vector<float> ts(static_cast<std::size_t>(room));
            const int kept = list.PickAllAt(models.data(), ts.data(), room, UnitRay(), nullptr);
            ASSERT_EQ(kept, std::min<int>(room, static_cast<int>(hits.size())));
            for (int i = 0; i < kept; ++i) {
                EXPECT_EQ(ts[static_cast<std::size_t>(i)], hits[static_cast<std::size_t>(i)].first);
                EXPECT_EQ(models[static_cast<std::size_t>(i)], hits[static_cast<std::size_t>(i)].second);
            }
        }
    }
}

TEST(ModelList, DeviceResetStopsAtTheFirstFailure) {
    ModelList list;
    auto* a = new TestModel(2, true, true);
    auto* b = new TestModel(2, true, false);
    auto* c = new TestModel(2, true, true);
    for (TestModel* m : {a, b, c}) list.Add(m);
    EXPECT_FALSE(list.OnDeviceReset());
    EXPECT_EQ(a->resets, 1);
    EXPECT_EQ(b->resets, 1);
    EXPECT_EQ(c->resets, 0);
}

TEST(ModelList, ClearForgetsTheLastPick) {
    ModelList list;
    list.Add(new TestModel(0.5f));
    ASSERT_NE(list.PickNearest(UnitRay(), nullptr, nullptr, nullptr), nullptr);
    list.Clear();
    EXPECT_EQ(ModelList::GetLastPickPoint(), nullptr);
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
