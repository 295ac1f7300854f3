#pragma once
// Recording doubles for the scene tests: overlay objects, a contents object, a light and a
// scene that write what is asked of them into one shared log, in order.

#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/view/KytLight.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"

#include <functional>
#include <string>
#include <vector>

namespace scene_test {

std::vector<std::string>& Log();
void ClearLog();

// An overlay object that logs its calls as "<name>:<call>".
class RecordingAux : public KytAuxContents {
public:
    RecordingAux(const char* name, unsigned int id);
    explicit RecordingAux(const RecordingAux* source);
    ~RecordingAux() override;

    KytAuxContents* Duplicate() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void Destroy() override;
    void FitView(const KytViewPort* viewport) override;
    void DrawGDI() override;
    void CheckVisual(KytLink* link) override;
    bool IsTargetLink(KytLink* link) const override { return link && link == target; }

    std::string name;
    KytLink* target = nullptr;
    // Called first thing in Destroy, for tests that look at the state at that moment.
    std::function<void()> onDestroy;
    static int live;
};

// An annotation that logs its text pass.
class RecordingAnnotate : public AuxAnnotate {
public:
    RecordingAnnotate(const char* name, KytLink* link);
    void DrawGDI(KytOgl* ogl) override;
    using AuxAnnotate::DrawGDI;
    std::string name;
};

class RecordingDRAnnotate : public AuxDRAnnotate {
public:
    RecordingDRAnnotate(const char* name, KytLink* link);
    void DrawGDI(KytOgl* ogl) override;
    using AuxAnnotate::DrawGDI;
    std::string name;
};

class RecordingContents : public KytLinkContents {
public:
    void Draw(KytLink* root, int targetMode) override;
    void Create(KytScene* scene) override;
    void Destroy() override;
    using KytLinkContents::Draw;
};

class RecordingLight : public KytLight {
public:
    explicit RecordingLight(const char* name, bool eachDraw = true);
    void Update(unsigned int lightId) override;
};

// A context that logs its buffer swaps.
class RecordingOgl : public KytOgl {
public:
    using KytOgl::KytOgl;
    void SwapBuffers() override;
};

// A scene whose contents object records.
class RecordingScene : public KytScene {
public:
    using KytScene::KytScene;
    KytLinkContents* CreateConts() override { return new RecordingContents(); }
    // Gives the scene its contents object without a context.
    void InstallContents()
    {
        if (!m_pContents)
            m_pContents = CreateConts();
    }
    bool MoveSimplified() const { return m_bMoveSimplified; }
    BOXMODE MoveSavedBoxMode() const { return m_eMoveSavedBoxMode; }
};

} // namespace scene_test
