// The town's plane effects: a fog bank drifting over the market, a fire on the square and a
// bolt of lightning, with the noise, fire and noise-volume textures they draw with.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/world/DemoMap2D.h"

namespace quor::test {

namespace {

// Smooth periodic noise in 0..1 over a size x size tile (sums of waves that wrap at the edge).
float Noise(int x, int y, int size, int seed) {
    const float k = 6.2831853f / float(size);
    float v = 0.0f;
    for (int o = 1; o <= 4; ++o) {
        const float fx = float(x) * k * float(o), fy = float(y) * k * float(o + (seed % 3));
        v += (std::sin(fx + float(seed * o)) * std::cos(fy - float(seed + o))) / float(o);
    }
    return 0.5f + 0.5f * std::tanh(v);
}

std::uint32_t Grey(float v, float alpha) {
    const auto c = std::uint32_t(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f));
    const auto a = std::uint32_t(std::lround(std::fmin(std::fmax(alpha, 0.0f), 1.0f) * 255.0f));
    return a << 24 | c << 16 | c << 8 | c;
}

std::vector<std::uint32_t> NoiseTile(int size, int seed, bool alphaFromValue) {
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float v = Noise(x, y, size, seed);
            argb.push_back(Grey(v, alphaFromValue ? v : 1.0f));
        }
    return argb;
}

// A flame: white-yellow at its root, orange, then red and clear towards its tip and sides.
std::vector<std::uint32_t> Flame(int width, int height) {
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float up = 1.0f - float(y) / float(height - 1);  // 0 at the root, 1 at the tip
            const float half = 0.5f * (1.0f - up * up) + 0.02f;
            const float dx = std::fabs(float(x) / float(width - 1) - 0.5f) / half;
            const float heat = std::fmax(0.0f, 1.0f - dx) * (1.0f - 0.8f * up);
            const auto r = std::uint32_t(255.0f * std::fmin(1.0f, heat * 2.0f));
            const auto g = std::uint32_t(255.0f * std::fmin(1.0f, heat * heat * 1.6f));
            const auto b = std::uint32_t(255.0f * std::fmin(1.0f, heat * heat * heat));
            const auto a = std::uint32_t(255.0f * std::fmin(1.0f, heat * 1.5f));
            argb.push_back(a << 24 | r << 16 | g << 8 | b);
        }
    return argb;
}

}  // namespace

void AddPlaneEffects(Map2DSample& s) {
    s.Add("map2d/fx/fog_noise.tga", Tga32(128, 128, NoiseTile(128, 3, true)));
    s.Add("map2d/fx/fire.tga", Tga32(64, 96, Flame(64, 96)));
    s.Add("builtin/textures/FireDistortion.tga", Tga32(64, 64, NoiseTile(64, 5, false)));
    s.Add("builtin/textures/NoiseVolume1.dds", Dds32(64, 64, NoiseTile(64, 7, false)));
    // A fog bank over the market, above the pictures, and a lower one on the ground.
    s.scene.Raw("<PlaneFog num=\"2\">"
                "<PlaneFog_0 TextureName=\"map2d/fx/fog_noise.tga\" left=\"560\" top=\"360\" right=\"1120\" "
                "bottom=\"760\" SpeedX=\"0.04\" SpeedY=\"0.02\" AlphaControl=\"0.45\" Power=\"1.5\" "
                "color=\"0.85,0.9,1,0.8\" onGround=\"false\"/>"
                "<PlaneFog_1 TextureName=\"map2d/fx/fog_noise.tga\" left=\"200\" top=\"820\" right=\"760\" "
                "bottom=\"1100\" SpeedX=\"-0.03\" SpeedY=\"0.01\" AlphaControl=\"0.35\" Power=\"1\" "
                "color=\"0.7,0.8,0.75,0.6\" onGround=\"true\"/>"
                "</PlaneFog>");
    s.scene.Raw("<Blaze num=\"1\"><Blaze_0 TextureName=\"map2d/fx/fire.tga\" left=\"776\" top=\"632\" right=\"824\" "
                "bottom=\"704\" BumpScale=\"1\" Dizze=\"1\" LayerSpeedx=\"0.68753\" LayerSpeedy=\"0.52\" "
                "LayerSpeedz=\"0.7534\" DistortionAmountx=\"0.123\" DistortionAmounty=\"0.091\" "
                "DistortionAmountz=\"0.0723\" onGround=\"false\"/></Blaze>");
    s.scene.Raw("<Electricity num=\"1\"><Electricity_0 startx=\"480\" starty=\"520\" endx=\"700\" endy=\"430\" "
                "Width=\"24\" Height=\"0.44\" GlowStrength=\"144\" GlowFallOff=\"0.024\" Speed=\"1.86\" "
                "SampleDist=\"0.0076\" AmbientGlow=\"0.5\" AmbientGlowHeightScale=\"1.68\" VertNoise=\"0.78\" "
                "onGround=\"false\"/></Electricity>");
}

}  // namespace quor::test
