#include "world/core/Memory.h"
#include "world/scene/ModelList.h"

#include <algorithm>
#include <cstring>

#include "world/mesh/ModelBase.h"

namespace quor::world {

namespace {

LastPick g_lastPick;

// Starts a pick: nothing hit yet.
void ResetPickLocked() {
    g_lastPick.model = nullptr;
    g_lastPick.t = 1.0f;
}

}  // namespace

win32::CriticalSection& ModelList::BookkeepingLock() {
    static win32::CriticalSection lock;
    return lock;
}

LastPick ModelList::GetLastPick() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    return g_lastPick;
}

void ModelList::ResetLastPick() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    g_lastPick = LastPick{};
}

ModelList::ModelList() {
    m_models.reserve(1024);
    m_groups.reserve(64);
}

ModelList::~ModelList() {
    Clear();
}

bool ModelList::Add(ModelBase* model) {
    if (!model) return false;
    win32::CriticalSectionLock lock(BookkeepingLock());
    if (std::find(m_models.begin(), m_models.end(), model) != m_models.end()) return false;
    m_models.push_back(model);
    return true;
}

bool ModelList::LoadModel(ModelBase* model, const char* path, int flags) {
    // The file load runs without the process-wide lock: a slow load in one scene must not
    // stall every other scene's bookkeeping.
    if (!CreateModelForFileEx(model, path, flags)) return false;
    return Add(model);
}

bool ModelList::Take(ModelBase* model) {
    if (!model) return false;
    win32::CriticalSectionLock lock(BookkeepingLock());
    auto it = std::find(m_models.begin(), m_models.end(), model);
    if (it == m_models.end()) return false;
    m_models.erase(it);
    if (g_lastPick.model == model) ResetPickLocked();
    for (auto g = m_groups.begin(); g != m_groups.end(); ++g) {
        std::vector<ModelBase*>& members = (*g)->models;
        auto m = std::find(members.begin(), members.end(), model);
        if (m == members.end()) continue;
        members.erase(m);
        model->inGroup = 0;
        if (members.size() <= 1) {
            for (ModelBase* left : members) left->inGroup = 0;
            delete *g;
            m_groups.erase(g);
        }
        break;
    }
    return true;
}

void ModelList::Remove(ModelBase* model) {
    if (Take(model)) delete static_cast<SpaceObject*>(model->GetSpaceObject(0));
}

void ModelList::Move(ModelBase* model, ModelList& target) {
    if (!model || &target == this) return;
    if (!Take(model)) return;
    target.Add(model);
}

ModelBase* ModelList::GetAt(std::uint32_t index) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    return index < m_models.size() ? m_models[index] : nullptr;
}

int ModelList::Count() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    return static_cast<int>(m_models.size());
}

ModelBase* ModelList::FindByName(const char* name) {
    if (!name) return nullptr;
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models)
        if (std::strncmp(m->GetShortName(), name, 32) == 0) return m;
    return nullptr;
}

ModelBase* ModelList::FindByFlags(std::uint32_t mask) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models)
        if ((static_cast<std::uint32_t>(m->GetUserInt()) & mask) != 0) return m;
    return nullptr;
}

bool ModelList::Contains(ModelBase* model) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    return std::find(m_models.begin(), m_models.end(), model) != m_models.end();
}

ModelGroup* ModelList::FindGroup(ModelBase* model) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelGroup* g : m_groups)
        if (std::find(g->models.begin(), g->models.end(), model) != g->models.end()) return g;
    return nullptr;
}

bool ModelList::AddGroup(const std::vector<ModelBase*>& models) {
    if (models.empty()) return false;
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : models) {
        if (!m || m->inGroup || std::find(m_models.begin(), m_models.end(), m) == m_models.end()) return false;
        if (std::count(models.begin(), models.end(), m) != 1) return false;
    }
    auto* group = NewObject<ModelGroup>(ModelGroup{models});
    if (!group) return false;
    for (ModelBase* m : models) m->inGroup = 1;
    m_groups.push_back(group);
    return true;
}

int ModelList::GroupCount() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    return static_cast<int>(m_groups.size());
}

void ModelList::CopyAll(std::vector<IModel*>& out) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models) out.push_back(m);
}

bool ModelList::OnDeviceReset() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models)
        if (!m->OnDeviceReset()) return false;
    return true;
}

void ModelList::OnDeviceLost() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models) m->OnDeviceLost();
}

void ModelList::ClearChangedFlags() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models) m->ClearTransformChanged();
}

void ModelList::DrawGroups() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelGroup* g : m_groups)
        for (ModelBase* m : g->models)
            if (!m->hidden) m->DrawParts(0);
}

void ModelList::PrepareOutlines() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    for (ModelBase* m : m_models)
        if (m->IsVisible() && !m->hidden) CreateOutlineTechnique(m);
}

void ModelList::DrawPasses(int passCount, bool skip) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    if (!skip && passCount > 0) {
        for (int pass = 0; pass < passCount; ++pass)
            for (ModelBase* m : m_models)
                if (m->IsVisible() && !m->hidden && m->planeShadow[0] && m->planeShadow[1])
                    CreateShadowOnPlaneTechnique(m, pass);
    }
    for (ModelBase* m : m_models)
        if (m->IsVisible() && !m->hidden && m->GetShadowMode() == 4) CreateShadowVolumeTechnique(m);
}

ModelBase* ModelList::PickNearest(const Ray& ray, float* t, std::uint32_t* detail,
                                  const std::vector<ModelBase*>* filter) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    // The reset belongs inside the lock: another scene's pick must not see it half done.
    ResetPickLocked();
    const std::vector<ModelBase*>& list = filter ? *filter : m_models;
    float best = 1.0f;
    for (ModelBase* m : list) {
        if (!ModelBase::IsVertexColorEnabled(m)) continue;
        float hitT = 1.0f;
        std::uint32_t a = 0, b = 0;
        if (!m->IntersectRay(ray, &a, &hitT, 0) || !(hitT < best)) continue;
        best = hitT;
        g_lastPick.model = m;
        g_lastPick.ray = ray;
        g_lastPick.detailA = a;
        g_lastPick.detailB = b;
        g_lastPick.t = hitT;
        if (detail) *detail = a;
    }
    if (t) *t = best;
    return g_lastPick.model;
}

void ModelList::PickAll(const void* query, void (*callback)(IModel*, void*), int flags,
                        const std::vector<ModelBase*>* filter, void* user) {
    if (!callback) return;
    win32::CriticalSectionLock lock(BookkeepingLock());
    const std::vector<ModelBase*>& list = filter ? *filter : m_models;
    for (ModelBase* m : list)
        if (query && m->ContainsPoint(*static_cast<const Vec3*>(query), flags)) callback(m, user);
}

int ModelList::PickAllAt(ModelBase** models, float* ts, int room, const Ray& ray,
                         const std::vector<ModelBase*>* filter) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    ResetPickLocked();
    if (!models || !ts || room <= 0) return 0;
    const std::vector<ModelBase*>& list = filter ? *filter : m_models;
    int kept = 0;
    for (ModelBase* m : list) {
        if (!ModelBase::IsVertexColorEnabled(m)) continue;
        float hitT = 1.0f;
        std::uint32_t a = 0, b = 0;
        if (!m->IntersectRay(ray, &a, &hitT, 0) || !(hitT < 1.0f)) continue;
        int at = 0;
        while (at < kept && !(ts[at] > hitT)) ++at;
        if (at >= room) continue;
        const int last = kept < room ? kept : room - 1;
        for (int i = last; i > at; --i) {
            models[i] = models[i - 1];
            ts[i] = ts[i - 1];
        }
        models[at] = m;
        ts[at] = hitT;
        if (kept < room) ++kept;
        if (at == 0) {
            g_lastPick.model = m;
            g_lastPick.ray = ray;
            g_lastPick.t = hitT;
            g_lastPick.detailA = a;
            g_lastPick.detailB = b;
        }
    }
    return kept;
}

const float* ModelList::GetLastPickPoint() {
    win32::CriticalSectionLock lock(BookkeepingLock());
    if (!g_lastPick.model) return nullptr;
    g_lastPick.hitPoint = g_lastPick.ray.origin + g_lastPick.ray.direction * g_lastPick.t;
    return &g_lastPick.hitPoint.x;
}

const void* ModelList::GetLastPickDetail(void* out) {
    win32::CriticalSectionLock lock(BookkeepingLock());
    if (!g_lastPick.model) return nullptr;
    g_lastPick.hitPoint = g_lastPick.ray.origin + g_lastPick.ray.direction * g_lastPick.t;
    g_lastPick.model->GetSubMeshBounds(out, g_lastPick.detailA, g_lastPick.detailB, &g_lastPick.hitPoint.x);
    return out;
}

void ModelList::Clear() {
    std::vector<ModelBase*> models;
    {
        win32::CriticalSectionLock lock(BookkeepingLock());
        models.swap(m_models);
        for (ModelGroup* g : m_groups) delete g;
        m_groups.clear();
        // A model going away must not stay behind as the last pick.
        for (ModelBase* m : models)
            if (g_lastPick.model == m) ResetPickLocked();
    }
    for (ModelBase* m : models) delete static_cast<SpaceObject*>(m->GetSpaceObject(0));
}

}  // namespace quor::world
