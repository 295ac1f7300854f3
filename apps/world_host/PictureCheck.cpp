#include "apps/world_host/PictureCheck.h"

#include <stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace quor::demo {

namespace {

int g_failed = 0;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* At(int x, int y) const { return &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4]; }
};

// The file as written, read back: what a person opening it sees.
bool Load(const std::string& path, Picture& out) {
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!pixels) return false;
    out.width = w;
    out.height = h;
    out.rgba.assign(pixels, pixels + std::size_t(w) * std::size_t(h) * 4);
    stbi_image_free(pixels);
    return true;
}

std::uint32_t Key(const std::uint8_t* p) { return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]; }

// Pixels other than the most common colour.
int OffDominant(const Picture& picture) {
    std::map<std::uint32_t, int> counts;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) ++counts[Key(picture.At(x, y))];
    int most = 0;
    for (const auto& [colour, count] : counts) most = std::max(most, count);
    return picture.width * picture.height - most;
}

int Distance(const std::uint8_t* p, std::uint32_t argb) {
    return std::abs(int(p[0]) - int(argb >> 16 & 0xFF)) + std::abs(int(p[1]) - int(argb >> 8 & 0xFF)) +
           std::abs(int(p[2]) - int(argb & 0xFF));
}

// Shades among the pixels kept: brightness steps of 16 (of 255) that at least a small share of
// them fall in, so that stray edge pixels do not count as a shade.
struct Shades {
    std::vector<int> bins = std::vector<int>(16, 0);
    int pixels = 0;
    void Add(const std::uint8_t* p) {
        ++bins[std::min(15, (int(p[0]) * 30 + int(p[1]) * 59 + int(p[2]) * 11) / 100 / 16)];
        ++pixels;
    }
    int Count() const {
        const int least = std::max(3, pixels / 100);
        return int(std::count_if(bins.begin(), bins.end(), [&](int n) { return n >= least; }));
    }
};

// Sky: blue over red and not green-dominant; ground: green over red and blue.
bool IsSky(const std::uint8_t* p) { return int(p[2]) > int(p[0]) + 12 && int(p[2]) >= int(p[1]); }
bool IsGround(const std::uint8_t* p) { return int(p[1]) > int(p[0]) + 8 && int(p[1]) > int(p[2]) + 8; }

bool Report(bool ok, const std::string& path, const std::string& what) {
    std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", path.c_str(), what.c_str());
    if (!ok) ++g_failed;
    return ok;
}

bool Unreadable(const std::string& path) { return Report(false, path, "cannot be read back as a PNG"); }

}  // namespace

bool CheckModelPicture(const std::string& path, std::uint32_t clearArgb) {
    Picture picture;
    if (!Load(path, picture)) return Unreadable(path);
    const int off = OffDominant(picture);
    Shades model;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (Distance(picture.At(x, y), clearArgb) > 24) model.Add(picture.At(x, y));
    const int area = picture.width * picture.height;
    const bool ok = off * 200 >= area && model.pixels * 100 >= area && model.Count() > 1;
    char text[256];
    std::snprintf(text, sizeof text,
                  "not one colour (%d pixels off the commonest), model over the background (%d pixels), %d shades on it",
                  off, model.pixels, model.Count());
    return Report(ok, path, text);
}

bool CheckGardenPicture(const std::string& path, int horizonRow) {
    Picture picture;
    if (!Load(path, picture)) return Unreadable(path);
    const int off = OffDominant(picture);
    const int horizon = std::clamp(horizonRow, 0, picture.height);
    int sky = 0, ground = 0;
    Shades standing;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = picture.At(x, y);
            if (y < horizon && IsSky(p)) ++sky;
            else if (y >= horizon && IsGround(p)) ++ground;
            else if (!IsSky(p) && !IsGround(p)) standing.Add(p);
        }
    // At least a twentieth of each side of the horizon shows its own.
    const int above = horizon * picture.width, below = (picture.height - horizon) * picture.width;
    const bool ok = off * 200 >= picture.width * picture.height && above > 0 && below > 0 && sky * 20 >= above &&
                    ground * 20 >= below && standing.Count() > 1;
    char text[320];
    std::snprintf(text, sizeof text,
                  "not one colour (%d pixels off the commonest), horizon at row %d, sky %d of %d pixels above it, "
                  "ground %d of %d below it, %d shades on what stands there (%d pixels)",
                  off, horizon, sky, above, ground, below, standing.Count(), standing.pixels);
    return Report(ok, path, text);
}

bool CheckEffectPicture(const std::string& path, std::uint32_t clearArgb, const int rect[4]) {
    Picture picture;
    if (!Load(path, picture)) return Unreadable(path);
    const int off = OffDominant(picture);
    const int x0 = std::clamp(rect[0], 0, picture.width), x1 = std::clamp(rect[0] + rect[2], 0, picture.width);
    const int y0 = std::clamp(rect[1], 0, picture.height), y1 = std::clamp(rect[1] + rect[3], 0, picture.height);
    int particles = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (Distance(picture.At(x, y), clearArgb) > 40) ++particles;
    const bool ok = off * 200 >= picture.width * picture.height && particles >= 20;
    char text[256];
    std::snprintf(text, sizeof text,
                  "not one colour (%d pixels off the commonest), %d particle pixels where the systems emit "
                  "(%d x %d at %d, %d)",
                  off, particles, x1 - x0, y1 - y0, x0, y0);
    return Report(ok, path, text);
}

int FailedPictureChecks() { return g_failed; }

}  // namespace quor::demo
