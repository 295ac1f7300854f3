// The drawing renderer's look-alikes of the 2D scene's plane effects: the fog's noise scrolled
// by its speed over time and tinted, the fire picture flickering with its layers' speeds, and
// the lightning as a band that glows at its middle and fades to its sides.
#include <algorithm>
#include <cmath>
#include <string>

#include "platform/glrender/GlRenderer.h"

namespace quor::host {

namespace {

bool EndsWith(const std::string& text, const char* tail) {
    const std::string t = tail;
    return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

// Component i of a parameter, or the fallback when the material has none.
float ParamAt(const RecordingMaterial& m, const char* name, std::size_t i, float fallback) {
    auto it = m.params.values.find(name);
    return it != m.params.values.end() && it->second.size() > i ? it->second[i] : fallback;
}

std::uint32_t Argb(float r, float g, float b, float a) {
    auto byte = [](float v) { return std::uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

// Two triangles over a screen rectangle with the texture rectangle moved by (du, dv).
void Quad(std::vector<PrimitiveVertex>& out, const float* rect, const float* uv, float du, float dv,
          std::uint32_t colour) {
    const PrimitiveVertex corners[4] = {
        {rect[0], rect[1], 0, colour, uv[0] + du, uv[1] + dv},
        {rect[2], rect[1], 0, colour, uv[2] + du, uv[1] + dv},
        {rect[2], rect[3], 0, colour, uv[2] + du, uv[3] + dv},
        {rect[0], rect[3], 0, colour, uv[0] + du, uv[3] + dv},
    };
    for (int k : {0, 1, 2, 0, 2, 3}) out.push_back(corners[k]);
}

PrimitiveVertex Mid(const PrimitiveVertex& a, const PrimitiveVertex& b, std::uint32_t colour) {
    return {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, 0, colour, (a.u + b.u) * 0.5f, (a.v + b.v) * 0.5f};
}

}  // namespace

void GlRenderer::DefinePlaneEffect(const char* file, const char* technique) {
    if (!file || !technique) return;
    const struct {
        const char* file;
        const char* technique;
        std::vector<std::string> stages;
    } known[] = {
        {"res/builtin/shader/PlaneFog.fx", "PlaneFog", {"NoiseTex"}},
        {"res/builtin/shader/Blaze.fx", "Blaze", {"NoiseTex", "Fire"}},
        {"res/builtin/shader/Electricity.fx", "electricity", {"NoiseTex"}},
    };
    for (const auto& k : known)
        if (std::string(file) == k.file && std::string(technique) == k.technique)
            m_objects.Store()->DefineEffect(std::string(file) + "::" + technique, 1, true, k.stages);
}

bool GlRenderer::QueuePlaneEffect(const RecordingPrimitive& p) {
    const auto* m = static_cast<const RecordingMaterial*>(p.material);
    if (!m) return false;
    const std::string& technique = m->techniqueName;
    const bool fog = EndsWith(technique, "::PlaneFog");
    const bool fire = EndsWith(technique, "::Blaze");
    const bool bolt = EndsWith(technique, "::electricity");
    if (!fog && !fire && !bolt) return false;
    if (!m_inFrame) return true;
    auto* material = const_cast<RecordingMaterial*>(m);
    const float time = ParamAt(*m, "time_0_X", 0, 0.0f);
    if (fog && p.drawExCount > 0) {
        Overlay o;
        o.texture = material->GetTexture("NoiseTex");
        o.fileTexture = true;
        const float alpha = ParamAt(*m, "color", 3, 1.0f) * ParamAt(*m, "AlphaControl", 0, 1.0f);
        const std::uint32_t tint =
            Argb(ParamAt(*m, "color", 0, 1.0f), ParamAt(*m, "color", 1, 1.0f), ParamAt(*m, "color", 2, 1.0f), alpha);
        Quad(o.vertices, p.drawExRect, p.drawExUV, ParamAt(*m, "speed0", 0, 0.0f) * time,
             ParamAt(*m, "speed0", 1, 0.0f) * time, tint);
        m_overlays.push_back(std::move(o));
    } else if (fire && p.drawExCount > 0) {
        Overlay picture;
        picture.texture = material->GetTexture("Fire");
        picture.fileTexture = true;
        Quad(picture.vertices, p.drawExRect, p.drawExUV, 0, 0, 0xFFFFFFFFu);
        m_overlays.push_back(std::move(picture));
        // The distortion, as one stage can show it: the picture again, added faintly and moved
        // by the scrolled layers (the noise itself would light the whole rectangle).
        Overlay flicker;
        flicker.texture = picture.texture;
        flicker.fileTexture = true;
        flicker.source = 5, flicker.destination = 2;
        const float turn = 6.2831853f * time;
        const float du = ParamAt(*m, "distortion_amount", 0, 0.0f) * std::sin(turn * ParamAt(*m, "layer_speed", 0, 0.0f));
        const float dv = ParamAt(*m, "distortion_amount", 1, 0.0f) * std::sin(turn * ParamAt(*m, "layer_speed", 1, 0.0f));
        const float strength = std::clamp(0.5f * ParamAt(*m, "BumpScale", 0, 1.0f), 0.0f, 1.0f);
        Quad(flicker.vertices, p.drawExRect, p.drawExUV, du, dv, Argb(1, 1, 1, strength));
        m_overlays.push_back(std::move(flicker));
    } else if (bolt && p.vertices.size() >= 4) {
        // Corners 0 and 3 at the start, 1 and 2 at the end; the middle line glows.
        const auto& v = p.vertices;
        const float r = ParamAt(*m, "color", 0, 1.0f), g = ParamAt(*m, "color", 1, 1.0f),
                    b = ParamAt(*m, "color", 2, 1.0f);
        const std::uint32_t core = Argb(r, g, b, ParamAt(*m, "color", 3, 1.0f));
        const std::uint32_t edge = Argb(r, g, b, 0.0f);
        PrimitiveVertex corner[4] = {v[0], v[1], v[2], v[3]};
        for (PrimitiveVertex& c : corner) c.colour = edge;
        const PrimitiveVertex start = Mid(v[0], v[3], core), end = Mid(v[1], v[2], core);
        Overlay o;
        o.fileTexture = true;
        o.source = 5, o.destination = 2;
        for (const PrimitiveVertex& x : {corner[0], corner[1], end, corner[0], end, start, start, end, corner[2], start,
                                         corner[2], corner[3]})
            o.vertices.push_back(x);
        m_overlays.push_back(std::move(o));
    }
    return true;
}

}  // namespace quor::host
