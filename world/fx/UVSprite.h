#pragma once
#include "world/fx/Picture.h"

namespace quor::world {

// A picture that shows one cell of a sprite sheet at a time and steps through the cells while it
// is drawn. It shares the picture's texture, pivot, size and name handling.
class UVSprite : public Picture {
public:
    explicit UVSprite(IScene* owner);

    void SetAnimDuration(float milliseconds) override;
    void SetAlpha(std::uint8_t alpha) override { m_alpha = alpha; }
    float GetAnimDuration() override { return m_length; }
    float GetColumnCount() override { return m_columns; }
    float GetRowCount() override { return m_rows; }
    float GetFrameCount() override { return m_frames; }
    float GetStartFrame() override { return m_lastRowCells; }
    bool IsAnimLooping() override { return m_loop; }
    void SetAnimLoop(bool loop) override;
    void NextAnimFrame() override;
    void PlayAnim() override { m_stepping = true; }
    void StopAnim() override { m_stepping = false; }
    void Render(bool draw, bool drawShadow) override;
    bool Load(const char* path) override;

    // The cell shown: its top-left texture coordinates.
    float U() const { return m_u; }
    float V() const { return m_v; }
    bool IsStepping() const { return m_stepping; }
    float FramesPerCell() const { return m_framesPerCell; }

    // The effect every sprite shares: made by the first sprite, freed at World shutdown.
    static void ReleaseSharedEffect();

protected:
    ~UVSprite() override = default;

private:
    static float MsPerFrame();

    float m_counter = 0.0f;
    float m_length = 0.0f;
    float m_frames = 0.0f;
    float m_columns = 0.0f;
    float m_rows = 0.0f;
    float m_u = 0.0f;
    float m_v = 0.0f;
    float m_cellWidth = 0.0f;
    float m_cellHeight = 0.0f;
    float m_lastRowEndU = 0.0f;
    float m_lastRowCells = 0.0f;
    bool m_loop = true;
    bool m_stepping = true;
    float m_framesPerCell = 0.0f;
};

}  // namespace quor::world
