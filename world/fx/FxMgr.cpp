#include "world/fx/FxMgr.h"

#include <algorithm>
#include <cstring>

#include "platform/host/IClient.h"
#include "platform/host/IResFileSystem.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "platform/win32/Messages.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/XmlNodePtr.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxFrameTime.h"

namespace quor::world {

namespace {

constexpr std::size_t kFullPathSize = 260;
constexpr const char* kDefaultEffectFile = "defualt_models\\common.emf";

// Message boxes wait for the user: they are shown after the manager's lock is left.
void ShowBoxes(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) win32::MessageBoxA(nullptr, text.c_str(), "", win32::MB_OK);
}

bool MakeFullPath(common::IResFileSystem* fs, const char* name, char* full) {
    if (fs->MakeFullPath(name, full, kFullPathSize)) return true;
    LogError("effect file path too long: %s", name);
    return false;
}

// Reads the whole file into the document and closes it; false when it is not XML (nothing of
// a half-parsed document is loaded).
bool ParseFile(common::IResFile* file, common::IXmlNode* doc, const char* name) {
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = file->GetSize();
    if (!data && size > 0) LogError("创建特效文件[%s]不存在！", name);
    const bool parsed = data && doc->Parse(data, size);
    file->Close();
    if (!parsed) LogError("effect file %s is not well-formed XML", name);
    return parsed;
}

// The frame time a successful load hands its tree: one over the client's frame rate when it
// is positive, else the current one.
float TakeFrameTime() {
    client::IClient* client = Interfaces().client;
    const int rate = client ? client->GetFrameRate() : 0;
    if (rate > 0) SetFxFrameTime(1.0f / static_cast<float>(rate));
    return GetFxFrameTime();
}

}  // namespace

FxMgr::FxMgr() { ResetFxFrameTime(); }

FxMgr::~FxMgr() { ReleaseAll(); }

// --- list --------------------------------------------------------------------------------------

void FxMgr::AddObject(SpaceObject* object) {
    if (!object || object->GetObjectType() != 4) return;
    win32::CriticalSectionLock lock(m_lock);
    m_effects.push_back(static_cast<FxBase*>(object));
}

void FxMgr::AddBaseObject(FxBase* effect) {
    if (!effect) return;
    win32::CriticalSectionLock lock(m_lock);
    m_base.push_back(effect);
}

void FxMgr::AdoptBaseObjects() {
    win32::CriticalSectionLock lock(m_lock);
    m_effects.insert(m_effects.end(), m_base.begin(), m_base.end());
    m_base.clear();
}

int FxMgr::Count() {
    win32::CriticalSectionLock lock(m_lock);
    return static_cast<int>(m_effects.size());
}

int FxMgr::PendingCount() {
    win32::CriticalSectionLock lock(m_lock);
    return static_cast<int>(m_base.size());
}

IFxBase* FxMgr::GetAt(unsigned index) {
    win32::CriticalSectionLock lock(m_lock);
    return index < m_effects.size() ? m_effects[index] : nullptr;
}

IFxBase* FxMgr::FindByName(const char* name) {
    if (!name) return nullptr;
    win32::CriticalSectionLock lock(m_lock);
    for (FxBase* e : m_effects)
        if (std::strncmp(e->GetName(), name, 32) == 0) return e;
    return nullptr;
}

void FxMgr::CopyEffects(std::vector<IFxBase*>& out) {
    win32::CriticalSectionLock lock(m_lock);
    out.insert(out.end(), m_effects.begin(), m_effects.end());
}

bool FxMgr::Contains(FxBase* effect) {
    win32::CriticalSectionLock lock(m_lock);
    return std::find(m_effects.begin(), m_effects.end(), effect) != m_effects.end() ||
           std::find(m_base.begin(), m_base.end(), effect) != m_base.end();
}

int FxMgr::CountPlaying() {
    win32::CriticalSectionLock lock(m_lock);
    int n = 0;
    for (FxBase* e : m_effects)
        if (e->GetState() == kFxPlaying || e->GetState() == kFxFinishing) ++n;
    return n;
}

int FxMgr::CountChildEffects() {
    win32::CriticalSectionLock lock(m_lock);
    int n = 0;
    for (FxBase* e : m_effects) n += e->GetNodeCount();
    return n;
}

void FxMgr::ResetAllParticleStats() {
    win32::CriticalSectionLock lock(m_lock);
    for (FxBase* e : m_effects) e->ResetParticleStats();
}

void FxMgr::UpdateAll() {
    win32::CriticalSectionLock lock(m_lock);
    // Indexes: an update may add an effect (a node detached into the manager).
    for (std::size_t i = 0; i < m_effects.size(); ++i)
        if (m_effects[i]->IsIndependent()) m_effects[i]->Update();
}

std::uint32_t FxMgr::GetTotalParticleCount() {
    // Locked: loader threads append to the list.
    win32::CriticalSectionLock lock(m_lock);
    std::uint32_t n = 0;
    for (FxBase* e : m_effects) n += e->GetTotalParticleCount();
    return n;
}

std::uint32_t FxMgr::GetDrawnParticleCount() {
    win32::CriticalSectionLock lock(m_lock);
    std::uint32_t n = 0;
    for (FxBase* e : m_effects) n += e->GetTotalDrawnParticleCount();
    return n;
}

bool FxMgr::ForEachBeforeReset() {
    win32::CriticalSectionLock lock(m_lock);
    for (FxBase* e : m_effects) e->OnScenePrepare();
    return true;
}

bool FxMgr::ForEachAfterReset() {
    win32::CriticalSectionLock lock(m_lock);
    for (FxBase* e : m_effects) e->OnSceneFinish();
    return true;
}

void FxMgr::DumpProperties(common::IXmlNode* node) {
    if (!node) return;
    XmlNodePtr report(node->AddChildElement("FxMgr"));
    if (!report) return;
    win32::CriticalSectionLock lock(m_lock);
    for (FxBase* e : m_effects) e->DumpProperties(report.Get());
}

void FxMgr::DetachEffect(FxBase* effect, FxMgr& target) {
    if (!effect || &target == this) return;
    {
        win32::CriticalSectionLock lock(m_lock);
        auto it = std::find(m_effects.begin(), m_effects.end(), effect);
        if (it == m_effects.end()) return;
        m_effects.erase(it);
    }
    // Handed over after this lock is left: two managers' locks are never held together.
    target.AddObject(effect);
}

bool FxMgr::RemoveByPointer(FxBase* effect) {
    win32::CriticalSectionLock lock(m_lock);
    auto it = std::find(m_effects.begin(), m_effects.end(), effect);
    if (it == m_effects.end()) return false;
    m_effects.erase(it);
    return true;
}

void FxMgr::RemoveEffect(FxBase* effect) {
    if (!effect) return;
    bool destroy = false;
    {
        win32::CriticalSectionLock lock(m_lock);
        for (std::vector<FxBase*>* list : {&m_effects, &m_base}) {
            auto it = std::find(list->rbegin(), list->rend(), effect);
            if (it != list->rend()) {
                list->erase(std::next(it).base());
                destroy = true;
                break;
            }
        }
        // A node still in its parent's list leaves it before it goes.
        if (!effect->IsIndependent()) {
            effect->DetachFromParent();
            destroy = true;
        }
    }
    if (destroy) delete effect;
}

void FxMgr::ReleaseAll() {
    win32::CriticalSectionLock lock(m_lock);
    std::vector<FxBase*> all;
    all.swap(m_effects);
    all.insert(all.end(), m_base.begin(), m_base.end());
    m_base.clear();
    for (FxBase* e : all) {
        e->Deactivate();
        delete e;
    }
}

// --- loading -----------------------------------------------------------------------------------

FxBase* FxMgr::LoadEffectFile(const char* path, std::uint32_t flags) {
    std::string name = path ? path : "";
    return LoadFromName(name, flags);
}

FxBase* FxMgr::LoadEffectFile(char* path, std::uint32_t flags) {
    std::string name = path ? path : "";
    const std::size_t capacity = name.size() + 1;
    FxBase* root = LoadFromName(name, flags);
    // The retried name goes back only where it fits in place of the old one.
    if (path && name.size() + 1 <= capacity) std::memcpy(path, name.c_str(), name.size() + 1);
    return root;
}

FxBase* FxMgr::LoadFromName(std::string& name, std::uint32_t flags) {
    if (name.empty()) {
        LogError("load sfx  false ,filename = null");
        return nullptr;
    }
    InterfaceTable& host = Interfaces();
    XmlNodePtr doc(host.utils ? host.utils->CreateXmlDocument() : nullptr);
    if (!doc) {
        LogError("load sfx  false ,create XmlDoc false");
        return nullptr;
    }
    common::IResFileSystem* fs = host.resFileSystem;
    char full[kFullPathSize] = {};
    if (!fs || !MakeFullPath(fs, name.c_str(), full)) return nullptr;

    std::vector<std::string> boxes;
    FxBase* root = nullptr;
    {
        win32::CriticalSectionLock lock(m_lock);
        common::IResFile* file = fs->OpenFile(full, 0);
        if (!file) {
            const std::size_t dot = name.rfind('.');
            if (dot == std::string::npos) {
                LogError("特效文件 %s 找不到！", name.c_str());
                return nullptr;
            }
            name.replace(dot, std::string::npos, ".emf");
            if (MakeFullPath(fs, name.c_str(), full)) file = fs->OpenFile(full, 0);
            if (!file) {
                LogError("特效文件 %s 找不到！", name.c_str());
                boxes.push_back(std::string("特效文件 ") + name + " 找不到！");
                char defaultPath[kFullPathSize] = {};
                common::IResFile* fallback = nullptr;
                if (MakeFullPath(fs, kDefaultEffectFile, defaultPath)) fallback = fs->OpenFile(defaultPath, 0);
                if (fallback) {
                    fallback->Close();
                } else {
                    LogError("默认特效文件 [%s] 找不到！", defaultPath);
                    boxes.push_back(std::string("默认特效文件 [") + defaultPath + "] 找不到！");
                }
            }
        }
        if (file && ParseFile(file, doc.Get(), name.c_str())) {
            root = NewObject<FxBase>();
            if (root) {
                root->SetSourcePath(name.c_str());
                root->SetFileName(common::SharedString(full));
                root->MakeRoot();
                XmlNodePtr element(doc->FirstChildElement(nullptr));
                if (root->LoadFromXml(element.Get(), flags)) {
                    root->SetFrameTime(TakeFrameTime());
                    root->SetLoaded(true);
                } else {
                    delete root;
                    root = nullptr;
                }
            }
        }
    }
    ShowBoxes(boxes);
    return root;
}

bool FxMgr::LoadEffectFileInto(FxBase* effect, const char* path, std::uint32_t flags) {
    if (!effect || !path || !*path) return false;
    InterfaceTable& host = Interfaces();
    XmlNodePtr doc(host.utils ? host.utils->CreateXmlDocument() : nullptr);
    if (!doc) return false;
    common::IResFileSystem* fs = host.resFileSystem;
    char full[kFullPathSize] = {};
    if (!fs || !MakeFullPath(fs, path, full)) return false;

    win32::CriticalSectionLock lock(m_lock);
    common::IResFile* file = fs->OpenFile(full, 0);
    if (!file) {
        LogError("特效文件 %s 找不到！", path);
        return false;
    }
    if (!ParseFile(file, doc.Get(), path)) return false;
    effect->SetFileName(common::SharedString(full));
    effect->MakeRoot();
    XmlNodePtr element(doc->FirstChildElement(nullptr));
    if (!effect->LoadFromXml(element.Get(), flags)) {
        // The caller (and perhaps its scene) still holds the node: it stays, unloaded, with
        // nothing half-built under it.
        effect->DropChildren();
        effect->SetLoaded(false);
        return false;
    }
    effect->SetFrameTime(GetFxFrameTime());
    effect->SetLoaded(true);
    return true;
}

FxBase* FxMgr::CreateFromElement(common::IXmlNode* element, std::uint32_t flags) {
    FxBase* root = NewObject<FxBase>();
    if (!root) return nullptr;
    root->MakeRoot();
    win32::CriticalSectionLock lock(m_lock);
    if (!root->LoadFromXml(element, flags)) {
        delete root;
        return nullptr;
    }
    root->SetFrameTime(GetFxFrameTime());
    root->SetLoaded(true);
    return root;
}

}  // namespace quor::world
