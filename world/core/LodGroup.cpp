#include "world/core/LodGroup.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "world/core/BinaryReader.h"
#include "world/core/ICamera.h"
#include "world/core/ISpaceObject.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/VisibleObject.h"

namespace quor::world {
namespace {

// Which groups each member is in, so that a dying or moving object can leave them. Objects
// die on loader threads too, hence the lock; most objects are in no group, and the count
// lets them skip it.
struct Memberships {
    std::mutex mutex;
    std::unordered_map<VisibleObject*, std::vector<LodGroup*>> groups;
    std::atomic<std::size_t> count{0};
};

Memberships* g_registry = nullptr;

Memberships& Registry() {
    // Outlives every static object; the module's unload frees it.
    static Memberships* registry = g_registry = NewObject<Memberships>();
    return *registry;
}

void Join(VisibleObject* object, LodGroup* group) {
    Memberships& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.groups[object].push_back(group);
    r.count.fetch_add(1);
}

void Leave(VisibleObject* object, LodGroup* group) {
    Memberships& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.groups.find(object);
    if (it == r.groups.end()) return;
    auto& list = it->second;
    auto g = std::find(list.begin(), list.end(), group);
    if (g == list.end()) return;
    list.erase(g);
    r.count.fetch_sub(1);
    if (list.empty()) r.groups.erase(it);
}

}  // namespace

LodGroup::LodGroup(ObjectOwner* owner) : m_owner(owner) {}

LodGroup::~LodGroup() { RemoveAll(); }

void LodGroup::SetName(const char* name) {
    std::memset(m_name, 0, sizeof m_name);
    if (name) std::memcpy(m_name, name, strnlen(name, sizeof m_name - 1));
}

void LodGroup::AddObject(IVisibleObject* face) {
    if (!face) return;
    VisibleObject* object = face->GetObject();
    if (!object || std::find(m_members.begin(), m_members.end(), object) != m_members.end()) return;
    m_members.push_back(object);
    Join(object, this);
}

void LodGroup::RemoveObject(IVisibleObject* face) {
    if (face) Forget(face->GetObject());
}

void LodGroup::Forget(VisibleObject* object) {
    auto it = std::find(m_members.begin(), m_members.end(), object);
    if (it == m_members.end()) return;
    m_members.erase(it);
    Leave(object, this);
}

void LodGroup::RemoveAll() {
    for (VisibleObject* object : m_members) Leave(object, this);
    m_members.clear();
}

void LodGroup::SetLevel(int level, float distance, std::int32_t param1, std::int32_t param2) {
    if (level < 1 || level >= kLevels) return;
    m_distance[level] = distance;
    m_param1[level] = param1;
    m_param2[level] = param2;
}

float LodGroup::GetLevel(int level, std::int32_t* param1, std::int32_t* param2) {
    if (level < 1 || level >= kLevels) return 0.0f;
    if (param1) *param1 = m_param1[level];
    if (param2) *param2 = m_param2[level];
    return m_distance[level];
}

void LodGroup::Update(ICamera* camera) {
    if (m_members.empty()) return;
    if (!m_enabled) {
        for (VisibleObject* object : m_members) object->SetLod(0, 0, 0);
        return;
    }
    if (!camera || !camera->GetSpaceObject()) return;
    // Only thresholds that grow strictly are used; level 0 is the nearest. The table is at
    // most sixteen entries, so it lives on the stack.
    int levels[kLevels] = {0};
    float limits[kLevels] = {};
    int count = 0;
    for (int i = 1; i < kLevels; ++i) {
        if (!(m_distance[i] > 0.0f)) continue;
        const float squared = m_distance[i] * m_distance[i];
        if (count > 0 && limits[count - 1] >= squared) continue;
        limits[count] = squared;
        levels[++count] = i;
    }
    Vec3 eye;
    camera->GetSpaceObject()->GetWorldPosition(eye);
    // Members and their transform blocks lie all over the heap: fetch them some members
    // ahead, the object first and its block once the object is near.
    constexpr std::size_t kAhead = 8;
    const std::size_t n = m_members.size();
    VisibleObject* const* members = m_members.data();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 2 * kAhead < n) {
            // The parent link sits on the object's second line.
            const char* ahead = reinterpret_cast<const char*>(static_cast<SpaceObject*>(members[i + 2 * kAhead]));
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + 64);
        }
        if (i + kAhead < n) __builtin_prefetch(&members[i + kAhead]->GetTransformBlock()->position);
        VisibleObject* object = members[i];
        Vec3 p;
        object->SpaceObject::GetWorldPosition(p);
        const float dx = p.x - eye.x, dy = p.y - eye.y, dz = p.z - eye.z;
        const float s = dx * dx + dy * dy + dz * dz;
        const int k = static_cast<int>(std::upper_bound(limits, limits + count, s) - limits);
        const int level = levels[k];
        object->SetLod(level, m_param1[level], m_param2[level]);
    }
}

void LodGroup::StoreListedLevels(const std::vector<ListedLevel>& levels) {
    const std::size_t n = levels.size();
    for (std::size_t i = 0; i < n; ++i) {
        const ListedLevel& l = levels[i];
        const bool last = i + 1 == n;
        if (!last && i >= kLevels - 1) {
            LogWarning("LOD group %s: level %zu ignored (at most %d levels)!", m_name, i, kLevels);
            continue;
        }
        SetLevel(last ? kLevels - 1 : static_cast<int>(i), l.distance, l.meshLod, l.materialLod);
    }
}

bool LodGroup::Read(BinaryReader& in, std::uint32_t version,
                    const std::unordered_map<std::uint32_t, SpaceObject*>& objects) {
    char name[kNameSize];
    float distance[kLevels];
    std::int32_t param1[kLevels] = {};
    std::int32_t param2[kLevels] = {};
    in.Bytes(name, sizeof name);
    in.F32s(distance, kLevels);
    if (version >= kParamsVersion) {
        in.U32s(reinterpret_cast<std::uint32_t*>(param1), kLevels);
        in.U32s(reinterpret_cast<std::uint32_t*>(param2), kLevels);
    }
    const std::uint32_t count = in.U32();
    if (!in.Ok() || !in.CheckCount(count, 4)) {
        LogError("Bad LOD group record: %u members do not fit in the file!", count);
        return false;
    }
    name[kNameSize - 1] = '\0';
    SetName(name);
    std::memcpy(m_distance, distance, sizeof m_distance);
    std::memcpy(m_param1, param1, sizeof m_param1);
    std::memcpy(m_param2, param2, sizeof m_param2);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto found = objects.find(in.U32());
        if (found == objects.end() || !found->second || !found->second->IsVisibleObject()) continue;
        AddObject(static_cast<VisibleObject*>(found->second));
    }
    return true;
}

void LodGroup::ObjectLeaving(VisibleObject* object, ObjectOwner* scene) {
    Memberships& r = Registry();
    if (r.count.load() == 0) return;
    std::vector<LodGroup*> groups;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.groups.find(object);
        if (it == r.groups.end()) return;
        groups = it->second;
    }
    for (LodGroup* group : groups) {
        if (!scene || group->m_owner != scene) group->Forget(object);
    }
}

void ReleaseLodRegistry() {
    delete g_registry;
    g_registry = nullptr;
}

}  // namespace quor::world
