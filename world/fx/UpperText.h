#pragma once
#include <map>
#include <memory>
#include <string>

namespace quor::render {
class IUpperText;
}

namespace quor::world {

// Stand-in for the texts drawn above objects: groups by name that hold no texts yet. The upper
// text issue gives them fonts, texts and drawing.
class UpperTextGroup {
public:
    void SetFont(const char*, int, int, int, int, int, int, int, int) {}
    render::IUpperText* CreateText(const char*) { return nullptr; }
    bool DestroyText(render::IUpperText*) { return false; }
    render::IUpperText* FindText(const char*) { return nullptr; }
    void ClearDrawList() {}
};

class UpperTextMgr {
public:
    static UpperTextMgr& Instance();
    UpperTextGroup* CreateGroup(const char* name);
    UpperTextGroup* FindGroup(const char* name);
    void DestroyGroup(const char* name);
    void Clear() { m_groups.clear(); }
    void OnDeviceLost() {}
    void OnDeviceReset() {}
    void RenderAll() {}

private:
    std::map<std::string, std::unique_ptr<UpperTextGroup>> m_groups;
};

}  // namespace quor::world
