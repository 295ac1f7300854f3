// The drawing renderer's approximations of the shadow objects and render effects.
#include <GL/gl.h>

#include <cstring>

#include "platform/glrender/GlRenderer.h"

namespace quor::host {

namespace {

// Row-vector matrices: out = a x b.
void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
            out[r * 4 + c] = sum;
        }
}

// Moves every point onto the plane n.p = d along the normal: p - ((n.p - d) / n.n) n.
bool FlattenMatrix(const float* plane, float* out) {
    const float nn = plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2];
    if (!(nn > 1e-12f)) return false;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) out[i * 4 + j] = (i == j ? 1.0f : 0.0f) - plane[i] * plane[j] / nn;
        out[i * 4 + 3] = 0;
    }
    for (int j = 0; j < 3; ++j) out[12 + j] = plane[3] * plane[j] / nn;
    out[15] = 1;
    return true;
}

}  // namespace

render::ISkinBuffer* GlRenderer::CreateSkinBuffer(int kind) { return m_objects.CreateSkinBuffer(kind); }
void GlRenderer::ReleaseSkinBuffer(render::ISkinBuffer* object) { m_objects.ReleaseSkinBuffer(object); }
std::uint32_t GlRenderer::GetFrameStamp() { return m_objects.GetFrameStamp(); }

void GlRenderer::UnhookTechniques() {
    for (RecordingExtTechnique* t : m_hooked) t->onDraw = nullptr;
    m_hooked.clear();
}

void GlRenderer::QueueExtDraw(RecordingExtTechnique& technique, render::ISkinBuffer* object,
                              const render::RenderEffectInstance* instance) {
    if (object && technique.name == "<ShadowOnPlane>") {
        auto* part = static_cast<RecordingSkinBuffer*>(object);
        if (part->kind != render::kSkinBufferPlaneShadow || !part->visible || !part->IsReady()) return;
        float flatten[16], world[16];
        if (!FlattenMatrix(part->plane, flatten)) return;
        // The plane is in the space the mesh draws in: flatten first, then place.
        Multiply(flatten, part->world, world);
        float colour[4] = {0, 0, 0, 0.5f};
        if (part->material) {
            auto it = part->material->params.values.find("Alpha");
            if (it != part->material->params.values.end() && !it->second.empty()) colour[3] = it->second[0];
        }
        QueueFlat(part->stream, part->ranges.data(), std::uint32_t(part->ranges.size()), world, 1, colour);
    } else if (instance && technique.name == "<Outline>") {
        const float black[4] = {0, 0, 0, 1};
        QueueFlat(instance->stream, instance->ranges, instance->rangeCount, instance->world, 2, black);
    }
}

void GlRenderer::DrawFlat(int mode, const float* world, const float* colour, const std::uint8_t* position,
                          int stride, const std::uint16_t* indices, const render::DrawRange* ranges,
                          const render::DrawRange* rangesEnd, GlFrameStats& stats) {
    UseShadingStage(false, false);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glColor4fv(colour);
    if (mode == 1) {
        // Both sides: flattening may turn a face's winding; pulled towards the eye so that it
        // wins over the plane it lies on.
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(-1.0f, -2.0f);
    } else {
        glDisable(GL_BLEND);
        glCullFace(GL_FRONT);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glLineWidth(2.0f);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m_view);
    glMultMatrixf(world);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, position);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    for (const render::DrawRange* r = ranges; r != rangesEnd; ++r) {
        if (r->primitiveCount == 0) continue;
        glDrawElements(GL_TRIANGLES, GLsizei(r->primitiveCount * 3), GL_UNSIGNED_SHORT, indices + r->firstIndex);
        stats.triangles += int(r->primitiveCount);
    }
    if (mode == 1) {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_CULL_FACE);
        ++stats.planeShadows;
    } else {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glCullFace(GL_BACK);
        glLineWidth(1.0f);
        ++stats.outlines;
    }
    // The next mesh sets its states and arrays again.
    m_keyValid = false;
    m_arrays = m_position = nullptr;
}

void GlRenderer::DrawDecals(GlFrameStats& stats) {
    UseShadingStage(false, false);
    bool begun = false;
    for (RecordingSkinBuffer* decal : m_objects.SkinBuffers()) {
        if (decal->kind != render::kSkinBufferDecal || decal->released || !decal->visible || decal->placements == 0)
            continue;
        if (!begun) {
            begun = true;
            glDisable(GL_LIGHTING);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_ALPHA_TEST);
            glDisable(GL_CULL_FACE);
            glDisableClientState(GL_COLOR_ARRAY);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glDepthMask(GL_FALSE);
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(-1.0f, -2.0f);
            glMatrixMode(GL_MODELVIEW);
            glLoadMatrixf(m_view);
            glColor4f(0, 0, 0, 0.5f);
        }
        // A dark quad at the foot of the bound the decal was placed with.
        const float* c = decal->centre;
        const float* e = decal->extents;
        const float y = c[1] - e[1];
        glBegin(GL_QUADS);
        glVertex3f(c[0] - e[0], y, c[2] - e[2]);
        glVertex3f(c[0] + e[0], y, c[2] - e[2]);
        glVertex3f(c[0] + e[0], y, c[2] + e[2]);
        glVertex3f(c[0] - e[0], y, c[2] + e[2]);
        glEnd();
        ++stats.decals;
    }
    if (!begun) return;
    glDisable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_CULL_FACE);
    m_keyValid = false;
}

}  // namespace quor::host
