// Playback allocates nothing per frame once its channels have their poses: counted through a
// replacement of the global allocation functions, active only while a test asks.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "tests/world/skeleton/SkelTestSupport.h"
#include "world/core/Memory.h"
#include "world/skeleton/SkelAnimState.h"

namespace {
thread_local bool g_counting = false;
thread_local long g_allocations = 0;

void* Allocate(std::size_t size) {
    if (g_counting) ++g_allocations;
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

// GCC pairs the replaced operators with the malloc inside them and warns of a mismatch that
// is not one: every block of this program comes from these operators and goes back to free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_counting) ++g_allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_counting) ++g_allocations;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace quor;
using namespace quor::test;

class SkelPlaybackAllocation : public SkelTest {};

TEST_F(SkelPlaybackAllocation, UpdatesAllocateNothingAfterWarmUp) {
    SkelAnimFileDesc file = MakeSkelAnimFile(0x40003, 6, 3);
    file.records[0].events = {{1, "step"}, {2, "morph: L"}};
    file.records[1].events = {{0, "morph: L"}, {2, "hit"}};
    AddFile("a.san", WriteSkelAnimFile(file));
    AddFile("a.ini", WriteBodySplitIni({{"0", "Bone3"}, {"1", "Bone4"}, {"2", "Bone5"}}, {{"0", "Bone0"}}));
    std::unique_ptr<SkelAnimState> state(NewObject<SkelAnimState>());
    std::vector<char> names(6 * 32, 0);
    std::vector<std::uint8_t> parents;
    for (int b = 0; b < 6; ++b) {
        const std::string n = "Bone" + std::to_string(b);
        std::memcpy(&names[std::size_t(b) * 32], n.data(), n.size());
        parents.push_back(b == 0 ? 255 : std::uint8_t(b - 1));
    }
    ASSERT_TRUE(state->SetSkeleton(parents.data(), names.data(), 6));
    ASSERT_EQ(state->AttachAnimationFile("a.san", 0x30000, 0, nullptr), 1);
    state->BindAnimationData(0);
    ASSERT_TRUE(state->LoadBodySplit("a.ini"));
    AnimationGroupMember members[3];
    for (int i = 0; i < 3; ++i) {
        members[i].animation = std::uint16_t(i);
        members[i].weight = float(i + 1);
        members[i].priority = std::uint16_t(i == 2);
    }
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    ASSERT_TRUE(state->PlayGroupMembers(members, 3, 500, 3, 1));
    ASSERT_TRUE(state->PlaySplitAnimation(1, 1, -1, 1, 1));
    for (int i = 0; i < 3; ++i) state->UpdateSkeletalAnimation(true);
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < 200; ++i) {
        state->UpdateSkeletalAnimation(true);
        state->UpdateSkeletalAnimation(false);
        while (state->PopEvent()) {
        }
    }
    g_counting = false;
    EXPECT_EQ(g_allocations, 0);
    EXPECT_GT(state->TransitionTotal(), 0.0f);
}

}  // namespace
