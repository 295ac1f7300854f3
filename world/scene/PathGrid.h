#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quor {

// Search state of one cell. Nodes are preallocated for the whole grid and reused by every
// search. The tag holds the search that last touched the node (above bit 4), the step that
// led to it from its parent (bits 1-3) and whether it is closed (bit 0); a node tagged by an
// earlier search reads as freshly reset (no cost yet, no parent), so a search never has to
// sweep the whole grid before it starts.
struct PathNode {
    std::int32_t g = 0;      // cost from the start
    std::int32_t f = 0;      // heap key: estimate - depth + cost
    std::int32_t depth = 0;  // steps from the start
    std::uint32_t tag = 0;
};

// The open list: a binary min-heap on f. An entry stands for a copy of its node as it was
// pushed; a node may stand in the list several times. Only f and the node are kept: the
// first copy of a node to leave the list is always its latest (every improvement lowers f
// and happens before the node is first taken), so its cost and depth are the node's own,
// and a later, stale copy changes nothing when it is taken.
class PathOpenList {
public:
    struct Entry {
        std::int32_t f;
        std::int32_t node;
    };

    PathOpenList() { heap_.reserve(50); }
    void Clear() { heap_.clear(); }
    bool Empty() const { return heap_.empty(); }
    std::size_t Count() const { return heap_.size(); }
    void Push(Entry e);
    // Takes the entry with the smallest key; false (and nothing taken) when empty.
    bool Pop(Entry& out);

private:
    std::vector<Entry> heap_;
};

// The walking grid of a 2D map: cells of 16 x 16 pixels read from the map's ".data" file.
// Value 0 is free ground; 2 and 4 are two kinds of blocking, and every non-zero value
// blocks the search. Results are written as whole int32 words so that the scene can hand
// them to the host unchanged.
class PathGrid {
public:
    static constexpr std::int32_t kCellSize = 16;
    static constexpr std::int32_t kNoCost = -100000;
    static constexpr std::int32_t kStraightCost = 100;
    static constexpr std::int32_t kDiagonalCost = 140;
    static constexpr std::int32_t kGoalRings = 1000;
    static constexpr std::int32_t kNearestRings = 10000;

    struct Cell {
        std::int32_t x;
        std::int32_t y;
        bool operator==(const Cell&) const = default;
    };
    struct LineCell {
        std::int32_t x;
        std::int32_t y;
        bool passable;
    };

    PathGrid() = default;
    ~PathGrid() = default;
    PathGrid(const PathGrid&) = delete;
    PathGrid& operator=(const PathGrid&) = delete;

    // Reads the bytes of a ".data" file. A failed load logs why and leaves the grid as it was.
    bool LoadFromMemory(const void* data, std::size_t size);
    bool IsLoaded() const { return width_ > 0; }
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // The stored value of a cell; cells outside the grid answer 1 (blocked).
    std::int32_t CellValue(std::int32_t x, std::int32_t y) const;

    // Pixel to cell: truncation toward zero, so pixel -1 lies in cell 0.
    static std::int32_t PixelToCell(std::int32_t pixel) { return pixel / kCellSize; }
    // Float form (x 0.0625, truncated); values that do not fit an int32 land outside every grid.
    static std::int32_t PixelToCell(float pixel);
    static std::int32_t CellCentre(std::int32_t cell) { return cell * kCellSize + kCellSize / 2; }

    bool IsCellFree(std::int32_t x, std::int32_t y) const;
    bool IsCellNot2(std::int32_t x, std::int32_t y) const;
    bool IsCellNot4(std::int32_t x, std::int32_t y) const;

    // Cells crossed by the line between two pixel points: the count twice, each cell's
    // centre, then (-1, -1). Answers -1 as the scene's interface does.
    std::int32_t GetLineCells(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                              std::vector<std::int32_t>& out);
    // The first free cell on the rings around the point's cell (the cell itself excluded);
    // writes its centre and answers true, or leaves out untouched and answers false.
    bool FindNearestFreeCell(std::int32_t x, std::int32_t y, std::int32_t out[2]) const;
    // Path searches between pixel points. Output: the count twice, then each cell's centre;
    // with no path the count is 1 and the single entry is (-8, -8).
    void FindPathFree(std::int32_t sx, std::int32_t sy, std::int32_t gx, std::int32_t gy,
                      std::vector<std::int32_t>& out);
    void FindPathAvoid2(std::int32_t sx, std::int32_t sy, std::int32_t gx, std::int32_t gy,
                        std::vector<std::int32_t>& out);

    // The steps underneath, in cells; exposed for tests and the scene's own callers.
    // The line walk fills and returns the line buffer (at most width + height + 4 entries).
    const std::vector<LineCell>& WalkLine(Cell from, Cell to);
    // A* from s to t; an empty path when s is not free or t cannot be reached.
    void Search(Cell s, Cell t, std::vector<Cell>& path);
    void CellPathFree(Cell s, Cell g, std::vector<Cell>& path);
    void CellPathAvoid2(Cell s, Cell g, std::vector<Cell>& path);
    // Nodes expanded over the grid's lifetime (stale open-list copies not counted).
    std::uint64_t ExpansionCount() const { return expansions_; }

private:
    using CellTest = bool (PathGrid::*)(std::int32_t, std::int32_t) const;
    // Tests the eight ring points from ring *ring up to maxRings; stops at the first cell
    // that passes (leaving *ring at that ring) or leaves *ring at maxRings + 1.
    bool RingSearch(Cell c, std::int32_t* ring, std::int32_t maxRings, CellTest test,
                    Cell& found) const;
    // Walks the line from s to g and marks each of its cells passable by test; true when all are.
    bool WalkLineMarking(Cell s, Cell g, CellTest test);
    // Writes the cells of a path (consumed) in the output form of the path searches.
    void WriteResult(std::vector<Cell>& path, bool thin, std::vector<std::int32_t>& out) const;
    std::int32_t Index(std::int32_t x, std::int32_t y) const { return y * width_ + x; }

    std::vector<std::int32_t> cells_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<LineCell> lineCells_;
    // The search works on a copy of the grid with a one-cell blocked border, so that a
    // neighbour needs no bounds test: padded index = (y + 1) * stride + x + 1.
    std::int32_t stride_ = 0;
    std::vector<std::uint8_t> free_;
    std::vector<PathNode> nodes_;
    std::uint32_t stamp_ = 0;
    PathOpenList open_;
    std::uint64_t expansions_ = 0;
};

}  // namespace quor
