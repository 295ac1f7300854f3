#pragma once
// A scene kind for tests and benchmarks: SceneBase with the kind-specific operations answering
// plainly, a Create that succeeds for listed file names, a Render that runs the frame bracket,
// and a journal of what it was told.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "world/scene/SceneBase.h"

namespace quor::test {

// Shared by every test scene of a test: the names whose Create succeeds and what happened.
struct SceneJournal {
    std::set<std::string> existing;
    std::vector<std::string> entries;
    void Add(const std::string& s) { entries.push_back(s); }
};

class TestScene : public world::SceneBase {
public:
    TestScene(int type, SceneJournal* journal) : m_journal(journal) { m_sceneType = type; }
    ~TestScene() override {
        BeginDestroy();
        Note("destroy " + std::to_string(GetSceneId()));
    }

    bool Create(const char* fileName, int, int, int) override {
        Note(std::string("create ") + fileName);
        const bool ok = m_journal && m_journal->existing.count(fileName) != 0;
        if (ok) SetFileName(fileName);
        return ok;
    }
    void Render() override {
        if (!BeginFrame(false)) return;
        CollectVisible();
        UpdateBillboards();
        PreDrawAll();
        ++renders;
        EndFrame();
    }
    void PrepareFrame() override { ++prepares; }
    bool OnResetDevice() override {
        Note("reset " + std::to_string(GetSceneId()));
        return resetAnswer && SceneBase::OnResetDevice();
    }
    void OnLostDevice() override {
        Note("lost " + std::to_string(GetSceneId()));
        SceneBase::OnLostDevice();
    }
    void SetActive(bool active) override {
        Note(std::string(active ? "active " : "inactive ") + std::to_string(GetSceneId()));
        SceneBase::SetActive(active);
    }
    void SetState(int state) override {
        Note("state " + std::to_string(state));
        SceneBase::SetState(state);
    }
    world::IFxBase* LoadFxFile(world::IFxBase* effect, const char* path, int value) override {
        fxPaths.push_back(path ? path : "");
        return SceneBase::LoadFxFile(effect, path, value);
    }
    // The steps of the frame bracket one by one (the benchmark and the tests of each step).
    bool Begin() { return BeginFrame(false); }
    void Collect() { CollectVisible(); }
    void PreDraw() { PreDrawAll(); }
    void End() { EndFrame(); }

    world::IModel* CreateModelFromData(void*, int) override { return nullptr; }
    bool ChangeModelFile(world::IModel*, const char*) override { return false; }
    void AddTickObject(world::ITickObject*) override {}
    bool RemoveTickObject(world::ITickObject*) override { return false; }
    world::ITrack* CreateTrack(int, const void*) override { return nullptr; }
    world::ITrack* LoadTrack(const char*) override { return nullptr; }
    void ReleaseTrack(world::ITrack*) override {}
    void* AddDecal(const char*, const Vec3*, float) override { return nullptr; }
    void RemoveDecal(void*) override {}
    void SetFogParams(const world::FogRecord&) override {}
    void SetFog(int, int, const std::uint8_t*, float, float, float) override {}
    void GetFogParams(world::FogRecord*) override {}
    int GetTrackCount() override { return 0; }
    world::ITrack* GetTrack(std::uint32_t) override { return nullptr; }
    world::ITrack* FindTrack(const char*) override { return nullptr; }
    bool SetBackground(const char*) override { return false; }
    const char* GetBackground() override { return nullptr; }
    void* GetTerrain() override { return nullptr; }
    world::ILodGroup* CreateLodGroup() override { return nullptr; }
    void RemoveLodGroup(world::ILodGroup*) override {}
    int GetLodGroupCount() override { return 0; }
    world::ILodGroup* GetLodGroup(std::uint32_t) override { return nullptr; }
    void UpdateLights(float) override {}
    float GetLightTime() override { return lightTime; }
    float lightTime = 0.0f;
    bool GetPresetCamera(const char*, Matrix*) override { return false; }
    world::IPicture* CreatePicture3D(world::IVisibleObject*) override { return nullptr; }
    world::IPicture* CreatePicture(const char*) override { return nullptr; }
    void* CreatePlaneFog(const char*) override { return nullptr; }
    void* CreateElectricity() override { return nullptr; }
    void* CreateBlaze(const char*, const char*) override { return nullptr; }
    void ReleasePicture(world::IPicture*) override {}
    void ReleaseModel(world::ISpaceObject*) override {}
    void GetMapSize(int* w, int* h) override {
        if (w) *w = 0;
        if (h) *h = 0;
    }
    world::AreaData* CreateAreaData(const char*) override { return nullptr; }
    void UpdateView(float, float) override {}
    void GetViewPosition(float*, float*) override {}
    void ApplyViewMatrix(const float*, float*) override {}
    void ApplyInverseViewMatrix(const float*, float*) override {}
    int FindPathFree(int, int, int, int, void*) override { return 0; }
    int GetLineCells(int, int, int, int, int*) override { return -1; }
    bool FindNearestFreeCell(int, int, int*) override { return false; }
    bool IsCellFree(int, int) override { return false; }
    int FindPathAvoid2(int, int, int, int, void*) override { return 0; }
    bool IsCellNot2(int, int) override { return false; }
    bool IsGroundOpaqueAt(float, float) override { return false; }
    void EnableEffectCut(bool) override {}
    world::IPicture* GetRootPicture() override { return nullptr; }

    bool resetAnswer = true;
    int renders = 0;
    int prepares = 0;
    std::vector<std::string> fxPaths;

private:
    void Note(const std::string& s) {
        if (m_journal) m_journal->Add(s);
    }
    SceneJournal* m_journal;
};

}  // namespace quor::test
