#include "tests/support/world/DemoMap2D.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/SheetFileWriter.h"
#include "tests/support/world/scene/MapFixtures.h"

namespace quor::test {

namespace {

// Every part of the sample, in order. A new part: one line here.
const Map2DPart kParts[] = {
    AddTownBase,
    AddPlaneEffects,
    AddTownLayers,
    AddTownGround,
};

// --- pictures ---------------------------------------------------------------------------------

struct Rgba {
    int width, height;
    std::vector<std::uint8_t> pixels;  // top row first
    Rgba(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h) * 4, 0) {}
    void Put(int x, int y, std::uint32_t argb) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        std::uint8_t* p = &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
        p[0] = std::uint8_t(argb >> 16);
        p[1] = std::uint8_t(argb >> 8);
        p[2] = std::uint8_t(argb);
        p[3] = std::uint8_t(argb >> 24);
    }
};

void Collect(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// An uncompressed 32-bit TGA, top row first.
std::vector<std::uint8_t> Tga(const Rgba& image) {
    std::vector<std::uint8_t> out(18, 0);
    out[2] = 2;
    out[12] = std::uint8_t(image.width), out[13] = std::uint8_t(image.width >> 8);
    out[14] = std::uint8_t(image.height), out[15] = std::uint8_t(image.height >> 8);
    out[16] = 32;
    out[17] = 0x28;
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        const std::uint8_t* p = &image.pixels[i];
        out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
    return out;
}

std::vector<std::uint8_t> Png(const Rgba& image) {
    std::vector<std::uint8_t> out;
    stbi_write_png_to_func(Collect, &out, image.width, image.height, 4, image.pixels.data(), image.width * 4);
    return out;
}

std::vector<std::uint8_t> Jpeg(const Rgba& image) {
    std::vector<std::uint8_t> out;
    stbi_write_jpg_to_func(Collect, &out, image.width, image.height, 4, image.pixels.data(), 90);
    return out;
}

// A house seen from above and the south: a red roof over tan walls with a door, on a clear
// background.
Rgba House() {
    Rgba image(96, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 96; ++x) {
            if (y < 40) {
                const int inset = (40 - y) / 2;
                if (x >= inset && x < 96 - inset) image.Put(x, y, (y + x / 8) % 6 == 0 ? 0xFF7A2418u : 0xFFB03A26u);
            } else if (x >= 8 && x < 88) {
                const bool door = x >= 42 && x < 54 && y >= 56;
                const bool window = ((x >= 18 && x < 30) || (x >= 66 && x < 78)) && y >= 48 && y < 60;
                image.Put(x, y, door ? 0xFF4A2E18u : window ? 0xFF3C5A78u : 0xFFD8B888u);
            }
        }
    return image;
}

// A round tree crown with a darker rim and a light spot.
Rgba Tree() {
    Rgba image(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = float(x) - 31.5f, dy = float(y) - 31.5f;
            const float r = std::sqrt(dx * dx + dy * dy);
            if (r >= 30.0f) continue;
            const bool spot = std::hypot(dx + 9.0f, dy + 9.0f) < 8.0f;
            image.Put(x, y, spot ? 0xFF70B050u : r > 25.0f ? 0xFF1E5A1Eu : 0xFF2E7A2Eu);
        }
    return image;
}

// A square of paving stones (opaque: a JPEG has no alpha).
Rgba Plaza() {
    Rgba image(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const bool joint = x % 32 == 0 || (y + (x / 32) * 16) % 32 == 0;
            const std::uint32_t shade = std::uint32_t(150 + ((x * 7 + y * 13) % 23));
            image.Put(x, y, joint ? 0xFF6A6458u : (0xFF000000u | shade << 16 | shade << 8 | (shade - 20)));
        }
    return image;
}

// --- path data and area map -------------------------------------------------------------------

// A map rectangle in pixels.
struct Block {
    int left, top, right, bottom;
};

// The houses' foot prints and the town wall: what the path grid blocks.
const Block kHouses[] = {{200, 200, 296, 280}, {500, 240, 596, 320}, {900, 180, 996, 260}, {1250, 300, 1346, 380},
                         {300, 700, 396, 780}, {760, 820, 856, 900}, {1150, 760, 1246, 840}};
// The wall runs across the map at y 560 with a gate at x 720 .. 880.
constexpr int kWallTop = 560, kWallBottom = 592, kGateLeft = 720, kGateRight = 880;

std::vector<std::uint8_t> PathData(int width, int height) {
    const int cell = 16;
    const int columns = width / cell, rows = height / cell;
    std::vector<std::string> grid(std::size_t(rows), std::string(std::size_t(columns), '0'));
    auto block = [&](const Block& b, char code) {
        for (int y = b.top / cell; y < (b.bottom + cell - 1) / cell && y < rows; ++y)
            for (int x = b.left / cell; x < (b.right + cell - 1) / cell && x < columns; ++x)
                grid[std::size_t(y)][std::size_t(x)] = code;
    };
    for (const Block& house : kHouses) block(house, '1');
    block({0, kWallTop, kGateLeft, kWallBottom}, '1');
    block({kGateRight, kWallTop, width, kWallBottom}, '1');
    // The river in the east: cells marked 2 (water).
    block({1440, 0, 1504, height}, '2');
    return fixtures::PathData(grid);
}

// Palette entries of the area map: 0 nothing, 1 the market square, 2 the river, 3 north town.
std::vector<std::uint8_t> AreaMap(int width, int height) {
    fixtures::Bitmap8 map;
    map.width = width / kTownAreaScale;
    map.height = height / kTownAreaScale;
    map.palette = {0xFF000000u, 0xFFC8A040u, 0xFF2050C0u, 0xFF60A060u};
    map.pixels.assign(std::size_t(map.width) * std::size_t(map.height), 0);
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x) {
            const int mx = x * kTownAreaScale, my = y * kTownAreaScale;
            std::uint8_t value = my < kWallTop ? 3 : 0;
            if (mx >= 560 && mx < 1040 && my >= 620 && my < 780) value = 1;
            if (mx >= 1440 && mx < 1504) value = 2;
            map.pixels[std::size_t(y) * std::size_t(map.width) + std::size_t(x)] = value;
        }
    return map.Build();
}

std::string Pair(float a, float b) {
    char text[64];
    std::snprintf(text, sizeof text, "%g,%g", double(a), double(b));
    return text;
}

// An entity's attributes: name, position, scale, its bound box around the position (or -1,-1
// for none) and its effect level.
std::string Entity(const std::string& name, float x, float y, float halfWidth, float halfHeight, int level = 0) {
    std::string a = "Name=\"" + name + "\" Position=\"" + Pair(x, y) + "\"";
    if (halfWidth < 0.0f)
        a += " boundingMax=\"-1,-1\" boundingMin=\"-1,-1\"";
    else
        a += " boundingMax=\"" + Pair(x + halfWidth, y + halfHeight) + "\" boundingMin=\"" +
             Pair(x - halfWidth, y - halfHeight) + "\"";
    return a + " EffectLevel=\"" + std::to_string(level) + "\"";
}

}  // namespace

std::vector<std::uint8_t> Tga32(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> out(18, 0);
    out[2] = 2;
    out[12] = std::uint8_t(width), out[13] = std::uint8_t(width >> 8);
    out[14] = std::uint8_t(height), out[15] = std::uint8_t(height >> 8);
    out[16] = 32;
    out[17] = 0x28;  // top-left origin, eight alpha bits
    for (std::uint32_t p : argb)
        for (int shift : {0, 8, 16, 24}) out.push_back(std::uint8_t(p >> shift));  // B, G, R, A
    return out;
}

namespace {

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift : {0, 8, 16, 24}) out.push_back(std::uint8_t(v >> shift));
}

}  // namespace

std::vector<std::uint8_t> Dds32(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> out = {'D', 'D', 'S', ' '};
    PutWord(out, 124);
    PutWord(out, 0x100F);  // caps, height, width, pitch, pixel format
    PutWord(out, std::uint32_t(height));
    PutWord(out, std::uint32_t(width));
    PutWord(out, std::uint32_t(width) * 4);
    for (int i = 0; i < 13; ++i) PutWord(out, 0);  // depth, levels, reserved
    PutWord(out, 32);
    PutWord(out, 0x41);  // RGB with alpha
    PutWord(out, 0);
    PutWord(out, 32);
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) PutWord(out, mask);
    PutWord(out, 0x1000);
    for (int i = 0; i < 4; ++i) PutWord(out, 0);
    for (std::uint32_t p : argb) PutWord(out, p);
    return out;
}

std::vector<std::uint8_t> Jpeg32(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(argb.size() * 3);
    for (std::uint32_t p : argb) rgb.insert(rgb.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
    std::vector<std::uint8_t> out;
    stbi_write_jpg_to_func(Collect, &out, width, height, 3, rgb.data(), 85);
    return out;
}

void Map2DSample::Add(const std::string& path, std::vector<std::uint8_t> bytes) {
    files.emplace_back(path, std::move(bytes));
}

void Map2DSample::Add(const std::string& path, const std::string& text) {
    files.emplace_back(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void AddTownBase(Map2DSample& s) {
    s.scene.Light(235, 228, 215).Specular(255, 240, 200, true);
    s.scene.MapBlock(s.mapPath, float(s.width), float(s.height), 3);
    s.scene.Camera("type=\"0\" dist=\"1000\" angle=\"20\" fov=\"16\" size=\"1\"");
    s.scene.Direction(-2.0f, -4.0f, 5.0f);

    s.Add(s.mapPath + ".data", PathData(s.width, s.height));
    s.Add("map2d/town_area.bmp", AreaMap(s.width, s.height));

    s.Add("map2d/pic/house.tga", Tga(House()));
    s.Add("map2d/pic/tree.png", Png(Tree()));
    s.Add("map2d/pic/plaza.jpg", Jpeg(Plaza()));
    SheetFileDesc torch;
    torch.columns = "4";
    torch.rows = "2";
    torch.third = "8";
    torch.fourth = "4";
    torch.texture = "map2d/fx/torch.tga";
    torch.length = "800";
    torch.loop = "1";
    s.Add("map2d/fx/torch.spr", WriteSheetFile(torch));
    s.Add("map2d/fx/torch.tga", WriteSpotTexture(128, 64, 0xFFFFE080u, 0x00FF5000u, 4, 2));
    s.Add("map2d/model/hut.mom", WriteMom(DemoSampleMesh(false)));

    const int house = s.scene.AddFile("map2d/pic/house.tga");
    const int tree = s.scene.AddFile("map2d/pic/tree.png");
    const int plaza = s.scene.AddFile("map2d/pic/plaza.jpg");
    const int torchFile = s.scene.AddFile("map2d/fx/torch.spr");
    const int hut = s.scene.AddFile("map2d/model/hut.mom");

    // The market square's paving first, so that everything else stands on it.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const float px = 624.0f + 128.0f * float(x), py = 636.0f + 128.0f * float(y);
            s.scene.Model(plaza, Entity("plaza" + std::to_string(y * 4 + x), px, py, 64.0f, 64.0f));
        }
    int n = 0;
    for (const Block& b : kHouses) {
        const float cx = float(b.left + b.right) / 2.0f, cy = float(b.top + b.bottom) / 2.0f;
        s.scene.Model(house, Entity("house" + std::to_string(n++), cx, cy, 48.0f, 40.0f) + " Occlusion=\"true\"");
    }
    // Trees along the roads; the ones past the river have no box and are always collected.
    for (int i = 0; i < 24; ++i) {
        const float x = 80.0f + float((i * 173) % 1340), y = 100.0f + float((i * 311) % 1000);
        const bool east = i % 8 == 7;
        s.scene.Model(tree, Entity("tree" + std::to_string(i), east ? 1540.0f : x, y, east ? -1.0f : 32.0f, 32.0f,
                                   i % 5 == 4 ? 4 : 0));
    }
    // Torches at the gate (sprites) with a rotation and an animation length.
    s.scene.Fx(torchFile, Entity("torch_w", float(kGateLeft) - 24.0f, 548.0f, 16.0f, 16.0f) +
                              " Rotation=\"0\" speed=\"800\"");
    s.scene.Fx(torchFile, Entity("torch_e", float(kGateRight) + 24.0f, 548.0f, 16.0f, 16.0f) +
                              " Rotation=\"0.3\" speed=\"600\"");
    // The hut: a model placed in the map, playing its "stand" animation when it has one. The
    // camera fits the map's 1200 pixels into its view height at its distance (2 x 1000 x tan 8
    // degrees, about 281 units), so a unit is about 4.3 map pixels: the unit box scaled 14 is
    // about as wide as its 60-pixel bound.
    s.scene.Model(hut, Entity("hut", 1100.0f, 620.0f, 60.0f, 60.0f) +
                           " Rotation=\"1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1\" Scale=\"14,14\"");
    // The fountain's and the river's sounds.
    s.scene.Sound(7, 800.0f, 700.0f);
    s.scene.Sound(12, 1470.0f, 600.0f);
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> DemoMap2DFiles() {
    Map2DSample sample;
    for (Map2DPart part : kParts) part(sample);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = std::move(sample.files);
    if (!sample.maskLines.empty()) {
        std::string mask;
        for (const std::string& line : sample.maskLines) mask += line + "\r\n";
        const std::size_t slash = sample.mapPath.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "" : sample.mapPath.substr(0, slash + 1);
        files.emplace_back(dir + "mask.txt", std::vector<std::uint8_t>(mask.begin(), mask.end()));
    }
    const std::string text = sample.scene.Text();
    files.emplace_back("map2d/town.scn2", std::vector<std::uint8_t>(text.begin(), text.end()));
    return files;
}

}  // namespace quor::test
