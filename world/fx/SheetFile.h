#pragma once
#include <cstddef>
#include <string>

namespace quor::world {

// A texture sheet file (".spr", ".ems"): a grid of animation cells on one texture. Text, the
// values separated by blanks and line ends: columns, rows, frame count, cells of the last row,
// then the texture path on a line of its own, the animation length in milliseconds and a loop
// flag. Particles, sprites and UV sprites read it alike.
struct SheetFile {
    float columns = 0.0f;
    float rows = 0.0f;
    // The third value: the particle system reads it as a speed divisor, sprites as a frame count.
    float third = 0.0f;
    float fourth = 0.0f;
    // At most kMaxTexture characters, without a trailing carriage return.
    std::string texture;
    float length = 0.0f;  // milliseconds; 0 when the file does not give it
    bool loop = true;     // true when the file does not give 0

    static constexpr std::size_t kMaxTexture = 255;
};

enum class SheetResult { kOk, kMissing, kBadNumbers };

// Whether the name's extension (from its last '.') is ".spr" or ".ems", in any case.
bool IsSheetName(const char* name);

// Reads the text of a sheet file. False, with `out` untouched, when the four leading numbers
// cannot be read. Numbers are read the same in every locale; "nan", "inf" and values beyond
// a float do not read as numbers.
bool ParseSheetText(const char* data, std::size_t size, SheetFile& out);

// Opens the file through the host's resource file system and parses it.
SheetResult ReadSheetFile(const char* path, SheetFile& out);

// The cells of a sheet as drawing uses them. Column and row counts that are not finite or
// below 1 count as 1, and counts above kMaxCells as kMaxCells, so any file gives a usable grid.
class SheetGrid {
public:
    static constexpr float kMaxCells = 4096.0f;

    SheetGrid() = default;
    SheetGrid(float columns, float rows);

    float Columns() const { return m_columns; }
    float Rows() const { return m_rows; }
    // Truncation of rows x columns, at least 1.
    int FrameCount() const { return m_frames; }
    // Frame f (row f / columns, column f % columns, any f taken modulo the frame count) as four
    // texture pairs in corner order: top left, top right, bottom right, bottom left.
    void FrameRect(int frame, float uv[8]) const;

private:
    float m_columns = 1.0f;
    float m_rows = 1.0f;
    int m_perRow = 1;
    int m_frames = 1;
};

}  // namespace quor::world
