#include "world/fx/SheetFile.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/host/IResFileSystem.h"
#include "world/core/InterfaceTable.h"

namespace quor::world {

namespace {

unsigned char Lower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over the file's bytes.
struct Cursor {
    const char* p;
    const char* end;

    // A decimal number after blanks and line ends: sign, digits with an optional fraction,
    // optional exponent. The cursor stays after what was read; false when nothing was.
    bool Number(float& out) {
        while (p < end && IsSpace(*p)) ++p;
        const char* q = p;
        bool negative = false;
        if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
        const char* start = q;
        int digits = 0;
        while (q < end && IsDigit(*q)) ++q, ++digits;
        if (q < end && *q == '.') {
            ++q;
            while (q < end && IsDigit(*q)) ++q, ++digits;
        }
        if (digits == 0) return false;
        if (q < end && (*q == 'e' || *q == 'E')) {
            const char* e = q + 1;
            if (e < end && (*e == '+' || *e == '-')) ++e;
            if (e < end && IsDigit(*e)) {
                while (e < end && IsDigit(*e)) ++e;
                q = e;
            }
        }
        float value = 0.0f;
        const auto [last, error] = std::from_chars(start, q, value);
        if (error != std::errc() || last != q || !std::isfinite(value)) return false;
        out = negative ? -value : value;
        p = q;
        return true;
    }

    // The rest of the current line (without its line feed); the cursor moves past the feed.
    std::string Line() {
        const char* q = p;
        while (q < end && *q != '\n') ++q;
        std::string line(p, q);
        p = q < end ? q + 1 : q;
        return line;
    }
};

bool Blank(const std::string& line) {
    for (char c : line)
        if (!IsSpace(c)) return false;
    return true;
}

}  // namespace

bool IsSheetName(const char* name) {
    if (!name) return false;
    const char* dot = std::strrchr(name, '.');
    if (!dot || std::strlen(dot) != 4) return false;
    const char ext[3] = {char(Lower(dot[1])), char(Lower(dot[2])), char(Lower(dot[3]))};
    return std::memcmp(ext, "spr", 3) == 0 || std::memcmp(ext, "ems", 3) == 0;
}

bool ParseSheetText(const char* data, std::size_t size, SheetFile& out) {
    Cursor c{data, data + (data ? size : 0)};
    SheetFile sheet;
    if (!c.Number(sheet.columns) || !c.Number(sheet.rows) || !c.Number(sheet.third) || !c.Number(sheet.fourth))
        return false;
    // The rest of the number line (empty, or a carriage return) is no texture name.
    std::string line = c.Line();
    if (Blank(line)) line = c.Line();
    if (line.size() > SheetFile::kMaxTexture) line.resize(SheetFile::kMaxTexture);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    sheet.texture = std::move(line);
    float length = 0.0f;
    if (c.Number(length)) {
        sheet.length = length;
        float loop = 1.0f;
        if (c.Number(loop) && (loop == 0.0f || loop == 1.0f)) sheet.loop = loop != 0.0f;
    }
    out = std::move(sheet);
    return true;
}

SheetResult ReadSheetFile(const char* path, SheetFile& out) {
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files && path ? files->OpenFile(path, 0) : nullptr;
    if (!file) return SheetResult::kMissing;
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = data ? file->GetSize() : 0;
    const bool ok = ParseSheetText(reinterpret_cast<const char*>(data), size, out);
    file->Close();
    return ok ? SheetResult::kOk : SheetResult::kBadNumbers;
}

SheetGrid::SheetGrid(float columns, float rows) {
    auto sane = [](float v) { return !(v >= 1.0f) ? 1.0f : (v > kMaxCells ? kMaxCells : v); };
    m_columns = sane(columns);
    m_rows = sane(rows);
    m_perRow = static_cast<int>(std::ceil(m_columns));
    const double frames = static_cast<double>(m_columns) * static_cast<double>(m_rows);
    m_frames = frames < 1.0 ? 1 : static_cast<int>(frames);
}

void SheetGrid::FrameRect(int frame, float uv[8]) const {
    int f = frame % m_frames;
    if (f < 0) f += m_frames;
    const float i = static_cast<float>(f / m_perRow);
    const float j = static_cast<float>(f % m_perRow);
    const float u0 = j / m_columns, u1 = (j + 1.0f) / m_columns;
    const float v0 = i / m_rows, v1 = (i + 1.0f) / m_rows;
    const float rect[8] = {u0, v0, u1, v0, u1, v1, u0, v1};
    std::memcpy(uv, rect, sizeof rect);
}

}  // namespace quor::world
