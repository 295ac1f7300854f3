#include "tests/support/scene/SceneRecorders.h"

namespace scene_test {

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

void ClearLog()
{
    Log().clear();
}

int RecordingAux::live = 0;

RecordingAux::RecordingAux(const char* n, unsigned int id) : KytAuxContents(id), name(n)
{
    ++live;
}

RecordingAux::RecordingAux(const RecordingAux* source) : KytAuxContents(source), name(source->name)
{
    target = source->target;
    ++live;
}

RecordingAux::~RecordingAux()
{
    --live;
    Log().push_back(name + ":delete");
}

KytAuxContents* RecordingAux::Duplicate()
{
    return new RecordingAux(this);
}

void RecordingAux::Create(KytScene*)
{
    Log().push_back(name + ":Create");
}

void RecordingAux::Draw()
{
    Log().push_back(name + ":Draw");
}

void RecordingAux::Destroy()
{
    if (onDestroy)
        onDestroy();
    Log().push_back(name + ":Destroy");
    KytAuxContents::Destroy();
}

void RecordingAux::FitView(const KytViewPort*)
{
    Log().push_back(name + ":FitView");
}

void RecordingAux::DrawGDI()
{
    Log().push_back(name + ":DrawGDI");
}

void RecordingAux::CheckVisual(KytLink*)
{
    Log().push_back(name + ":CheckVisual");
}

RecordingAnnotate::RecordingAnnotate(const char* n, KytLink* link) : AuxAnnotate(1, link), name(n) {}

void RecordingAnnotate::DrawGDI(KytOgl*)
{
    Log().push_back(name + ":DrawGDI");
}

RecordingDRAnnotate::RecordingDRAnnotate(const char* n, KytLink* link)
    : AuxDRAnnotate(AuxDRAnnotate::ID, link), name(n)
{
}

void RecordingDRAnnotate::DrawGDI(KytOgl*)
{
    Log().push_back(name + ":DrawGDI");
}

void RecordingContents::Draw(KytLink*, int targetMode)
{
    Log().push_back("contents:Draw" + std::to_string(targetMode));
}

void RecordingContents::Create(KytScene* scene)
{
    Log().push_back("contents:Create");
    KytLinkContents::Create(scene);
}

void RecordingContents::Destroy()
{
    Log().push_back("contents:Destroy");
    KytLinkContents::Destroy();
}

RecordingLight::RecordingLight(const char* n, bool eachDraw) : KytLight(n)
{
    UpdateEachDraw = eachDraw;
}

void RecordingLight::Update(unsigned int lightId)
{
    Log().push_back(std::string(static_cast<const char*>(GetName())) + ":Update" +
                    std::to_string(lightId - 0x4000));
    KytLight::Update(lightId);
}

void RecordingOgl::SwapBuffers()
{
    Log().push_back("swap");
    KytOgl::SwapBuffers();
}

} // namespace scene_test
