#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "world/core/math/Vector.h"

namespace quor::render {
class ITexture;
}

namespace quor::world {

class Camera;
class IModel;
class IScene;
class OrthoLabelList;

// A window of the interface library pinned to a socket of a model.
class OrthoLabel {
public:
    virtual ~OrthoLabel() = default;
    // Unless skip: submits the batch's queued vertices with the current slot.
    virtual void FlushBatch(bool skip);

    IModel* model = nullptr;
    IScene* scene = nullptr;
    std::string socketName;
    std::string windowName;
    std::int32_t cursorX = 0;
    std::int32_t cursorY = 0;
    float depth = 0;
    float x = 0;
    float y = 0;
    OrthoLabelList* list = nullptr;
    std::int32_t width = 200;
    std::int32_t height = 200;
};

// A scene's screen labels: each frame's label pass projects every label's socket to the screen
// and has the interface library draw the window there; the scene's overlay operations reach
// the label being drawn (the current one) and the overlay batch. Also answers mouse moves and
// clicks.
class OrthoLabelList {
public:
    OrthoLabelList() = default;
    ~OrthoLabelList();
    OrthoLabelList(const OrthoLabelList&) = delete;
    OrthoLabelList& operator=(const OrthoLabelList&) = delete;

    OrthoLabel* AddLabel(const char* windowName, IModel* model, const char* socketName, IScene* scene);
    void RemoveLabel(const char* windowName, IModel* model, const char* socketName);
    // Every label of the model (a scene releasing the model calls it first).
    void RemoveModelLabels(const IModel* model);
    void Clear();
    void RenderAll(Camera* camera);

    void SetOverlaySize(int width, int height);
    void SetQuadTexture(render::ITexture* texture);
    void AddQuad(float x, float y, float u, float v, std::uint32_t colour);
    void FlushQuads();

    bool SetCursorPosition(int x, int y);
    bool HitTest(int x, int y);

    const std::vector<OrthoLabel*>& Labels() const { return m_labels; }
    OrthoLabel* Current() const { return m_current; }

    // Whether a label anchored at (x, y) of the size is drawn on a screen of the size: its
    // window (centred on x, above y) touches the screen and the anchor is not above it.
    static bool IsOnScreen(float x, float y, int width, int height, int screenWidth, int screenHeight);
    // The back-buffer size read at the start of the latest label pass.
    static int ScreenWidth();
    static int ScreenHeight();

private:
    void FlushOverlay(OrthoLabel* label);
    void DeleteLabel(std::size_t index);

    std::mutex m_lock;
    std::vector<OrthoLabel*> m_labels;
    OrthoLabel* m_current = nullptr;
};

// The depth (z / w) of a world point through the camera's view and projection; 0 when w is 0.
float ProjectToScreen(float x, float y, float z, Camera* camera);
// n . p - d for the plane (n, d); 0 within 0.00001.
float PointPlaneDistance(const Vec3& point, const float* plane);
// A plane of the form x + b y + c z = d through the three points; false when p0 and p1 share
// y or z, which leaves it undefined.
bool PlaneFromPoints(const Vec3& p0, const Vec3& p1, const Vec3& p2, float* out);

}  // namespace quor::world
