#include "world/scene/PathGrid.h"

#include "platform/win32/Messages.h"
#include "world/core/BinaryReader.h"
#include "world/core/Log.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace quor {

namespace {

// Step order of the search: the four straight moves, then the four diagonals.
constexpr std::int32_t kStepX[8] = {1, 0, -1, 0, 1, -1, -1, 1};
constexpr std::int32_t kStepY[8] = {0, 1, 0, -1, 1, 1, -1, -1};
constexpr std::int32_t kStepCost[8] = {100, 100, 100, 100, 140, 140, 140, 140};

std::int32_t Estimate(std::int32_t x, std::int32_t y, PathGrid::Cell t) {
    return (std::abs(x - t.x) + std::abs(y - t.y)) * 100;
}

// The warning of a grid size that is not positive: the text and caption as the map tools
// have always shown them.
void ShowSizeWarning(const char* caption) { win32::MessageBoxA(nullptr, "警告！", caption, win32::MB_OK); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Open list

void PathOpenList::Push(Entry e) {
    // The vector grows geometrically; the heap order does not depend on the capacity.
    heap_.push_back(e);
    Entry* h = heap_.data();
    std::size_t i = heap_.size() - 1;
    // Sift up while the key is strictly less than the parent's.
    while (i > 0) {
        const std::size_t parent = (i - 1) / 2;
        if (!(e.f < h[parent].f)) break;
        h[i] = h[parent];
        i = parent;
    }
    h[i] = e;
}

bool PathOpenList::Pop(Entry& out) {
    if (heap_.empty()) return false;
    Entry* h = heap_.data();
    out = h[0];
    const Entry last = heap_.back();
    heap_.pop_back();
    const std::size_t n = heap_.size();
    if (n == 0) return true;
    // The last entry goes down from the root below the smaller child (the left one on a
    // tie) while that child's key is strictly smaller. Done bottom-up: the hole runs down
    // the smaller children to a leaf, then the entry climbs back over every key not
    // smaller than its own, which lands it exactly where the top-down walk would stop.
    std::size_t i = 0;
    for (;;) {
        const std::size_t left = 2 * i + 1;
        if (left >= n) break;
        const std::size_t right = left + 1 < n ? left + 1 : left;
        const std::size_t child = left + (h[right].f < h[left].f);
        h[i] = h[child];
        i = child;
    }
    while (i > 0) {
        const std::size_t parent = (i - 1) / 2;
        if (h[parent].f < last.f) break;
        h[i] = h[parent];
        i = parent;
    }
    h[i] = last;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Loading

bool PathGrid::LoadFromMemory(const void* data, std::size_t size) {
    BinaryReader r(data, size);
    const std::int32_t width = r.I32();
    if (!r.Ok()) {
        LogError("path data: %zu bytes, too short for the grid width", size);
        return false;
    }
    if (width <= 0) {
        ShowSizeWarning("格子宽度小于0");
        return false;
    }
    const std::int32_t height = r.I32();
    if (!r.Ok()) {
        LogError("path data: %zu bytes, too short for the grid height", size);
        return false;
    }
    if (height <= 0) {
        ShowSizeWarning("格子高度小于0");
        return false;
    }
    r.Skip(1);
    // Every row is width cells and its row-end byte; all of them must be in the data.
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) + 1;
    if (!r.CheckCount(static_cast<std::uint64_t>(height), rowBytes)) {
        LogError("path data: %zu bytes do not hold %d x %d cells", size, width, height);
        return false;
    }
    // The search keeps costs in int32: the dearest path (a diagonal step through every
    // cell) plus the largest estimate must fit, which also bounds the cell indices.
    const std::uint64_t cellCount = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t padded =
        (static_cast<std::uint64_t>(width) + 2) * (static_cast<std::uint64_t>(height) + 2);
    const std::uint64_t widest =
        padded * kDiagonalCost + (static_cast<std::uint64_t>(width) + height) * kStraightCost;
    if (widest > INT32_MAX) {
        LogError("path data: %d x %d cells are more than a search can cost", width, height);
        return false;
    }

    std::vector<std::int32_t> cells(cellCount);
    const std::int32_t stride = width + 2;
    std::vector<std::uint8_t> free(padded, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = r.Span(static_cast<std::size_t>(width));
        r.Skip(1);
        if (!row) break;
        for (std::int32_t x = 0; x < width; ++x) {
            // The file holds characters; a cell is its character's distance from "0".
            const std::int32_t v = static_cast<std::int8_t>(row[x]) - '0';
            cells[static_cast<std::size_t>(y) * width + x] = v;
            free[static_cast<std::size_t>(y + 1) * stride + x + 1] = v == 0;
        }
    }
    if (!r.Ok()) {
        LogError("path data: %zu bytes do not hold %d x %d cells", size, width, height);
        return false;
    }

    cells_ = std::move(cells);
    free_ = std::move(free);
    width_ = width;
    height_ = height;
    stride_ = stride;
    nodes_.assign(padded, PathNode{});
    stamp_ = 0;
    open_.Clear();
    lineCells_.assign(static_cast<std::size_t>(width) + height + 4, LineCell{0, 0, true});
    return true;
}

// ---------------------------------------------------------------------------------------------
// Cells

std::int32_t PathGrid::PixelToCell(float pixel) {
    const double cell = static_cast<double>(pixel) * 0.0625;
    // NaN and values beyond int32 would be undefined to convert; they are off every map.
    if (!(cell > -2147483648.0 && cell < 2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(cell);
}

std::int32_t PathGrid::CellValue(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 1;
    return cells_[static_cast<std::size_t>(Index(x, y))];
}

bool PathGrid::IsCellFree(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_ && cells_[Index(x, y)] == 0;
}

bool PathGrid::IsCellNot2(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_ && cells_[Index(x, y)] != 2;
}

bool PathGrid::IsCellNot4(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_ && cells_[Index(x, y)] != 4;
}

// ---------------------------------------------------------------------------------------------
// Line walk

const std::vector<PathGrid::LineCell>& PathGrid::WalkLine(Cell from, Cell to) {
    lineCells_.clear();
    if (!IsLoaded()) return lineCells_;
    // Bresenham on the major axis; a line of n steps gives n + 2 entries (the end cell twice).
    // The line buffer holds width + height + 4 entries, so a line of more than width + height
    // + 2 steps is cut after that many steps along its own course, and the cell it reached
    // stands for its end. Such a line has left the grid long before: from a cell on the grid
    // every cell of the grid is fewer steps away. Wide arithmetic: the ends may be anywhere.
    const std::int64_t maxSteps = static_cast<std::int64_t>(width_) + height_ + 2;
    std::int64_t x = from.x, y = from.y;
    const std::int64_t dx = std::abs(static_cast<std::int64_t>(to.x) - x);
    const std::int64_t dy = std::abs(static_cast<std::int64_t>(to.y) - y);
    const std::int64_t sx = (to.x > from.x) - (to.x < from.x);
    const std::int64_t sy = (to.y > from.y) - (to.y < from.y);
    const std::int64_t steps = std::max(dx, dy);
    const bool cut = steps > maxSteps;
    const std::int64_t walked = cut ? maxSteps : steps;
    auto append = [this](std::int64_t cx, std::int64_t cy) {
        lineCells_.push_back({static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy), true});
    };
    if (dx < dy) {
        std::int64_t error = 2 * dx - dy;
        for (std::int64_t i = 0; i < walked; ++i) {
            append(x, y);
            y += sy;
            if (error >= 0) {
                x += sx;
                error += 2 * (dx - dy);
            } else {
                error += 2 * dx;
            }
        }
    } else {
        std::int64_t error = 2 * dy - dx;
        for (std::int64_t i = 0; i < walked; ++i) {
            append(x, y);
            x += sx;
            if (error >= 0) {
                y += sy;
                error += 2 * (dy - dx);
            } else {
                error += 2 * dy;
            }
        }
    }
    const std::int64_t endX = cut ? x : to.x, endY = cut ? y : to.y;
    append(endX, endY);
    append(endX, endY);
    return lineCells_;
}

std::int32_t PathGrid::GetLineCells(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                                    std::vector<std::int32_t>& out) {
    const auto& line = WalkLine({PixelToCell(x0), PixelToCell(y0)}, {PixelToCell(x1), PixelToCell(y1)});
    out.clear();
    const auto count = static_cast<std::int32_t>(line.size());
    out.reserve(2 + 2 * line.size() + 2);
    out.push_back(count);
    out.push_back(count);
    for (const LineCell& c : line) {
        out.push_back(CellCentre(c.x));
        out.push_back(CellCentre(c.y));
    }
    out.push_back(-1);
    out.push_back(-1);
    return -1;
}

// ---------------------------------------------------------------------------------------------
// A*

void PathGrid::Search(Cell s, Cell t, std::vector<Cell>& path) {
    path.clear();
    if (!IsCellFree(s.x, s.y)) return;

    // A new search number resets every node and the closed map at once.
    if (++stamp_ >= (1u << 28)) {
        for (PathNode& n : nodes_) n.tag = 0;
        stamp_ = 1;
    }
    const std::uint32_t base = stamp_ << 4;
    const std::uint32_t closedKey = base | 1u;
    open_.Clear();

    const std::int32_t stride = stride_;
    const std::int32_t offset[8] = {1, stride, -1, -stride, stride + 1, stride - 1, -stride - 1, -stride + 1};
    const std::int32_t start = (s.y + 1) * stride + s.x + 1;
    // A goal off the grid is never reached: the search would only flood the start's area.
    if (t.x < 0 || t.y < 0 || t.x >= width_ || t.y >= height_) return;
    const std::int32_t goal = (t.y + 1) * stride + t.x + 1;
    PathNode* nodes = nodes_.data();
    const std::uint8_t* free = free_.data();

    PathNode& first = nodes[start];
    first.tag = base;
    first.g = 0;
    first.depth = 0;
    first.f = Estimate(s.x, s.y, t);
    open_.Push({first.f, start});

    std::int32_t goalParent = -1;
    PathOpenList::Entry entry;
    while (goalParent < 0 && open_.Pop(entry)) {
        PathNode& cur = nodes[entry.node];
        // A stale copy of a closed node: its neighbours already hold better values.
        if ((cur.tag & ~0xEu) == closedKey) continue;
        ++expansions_;
        const std::int32_t cx = entry.node % stride - 1;
        const std::int32_t cy = entry.node / stride - 1;
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
            const std::int32_t n = entry.node + offset[k];
            // Diagonal steps test only the cell they land on, not the two beside them.
            if (!free[n]) continue;
            PathNode& node = nodes[n];
            const std::uint32_t tag = node.tag;
            if ((tag & ~0xEu) == closedKey) continue;
            if (n == goal) {
                goalParent = entry.node;
                break;
            }
            const std::int32_t g = cur.g + kStepCost[k];
            const std::int32_t depth = cur.depth + 1;
            const std::int32_t f = Estimate(cx + kStepX[k], cy + kStepY[k], t) - depth + g;
            // A node of this search keeps its values unless the new f is strictly better.
            if ((tag & ~0xFu) == base && node.f <= f) continue;
            node.g = g;
            node.depth = depth;
            node.f = f;
            node.tag = base | static_cast<std::uint32_t>(k << 1);
            open_.Push({f, n});
        }
        cur.tag |= 1u;
    }
    if (goalParent < 0) return;

    path.push_back(t);
    // Parents always lead to nodes closed earlier, so the chain ends at the start; the
    // bound only guards against a broken invariant.
    std::size_t guard = nodes_.size();
    std::int32_t i = goalParent;
    for (; i != start && guard-- > 0; i -= offset[(nodes[i].tag >> 1) & 7u]) {
        path.push_back({i % stride - 1, i / stride - 1});
    }
    path.push_back(s);
    std::reverse(path.begin(), path.end());
}

// ---------------------------------------------------------------------------------------------
// Cell paths

bool PathGrid::WalkLineMarking(Cell s, Cell g, CellTest test) {
    WalkLine(s, g);
    bool all = true;
    for (LineCell& c : lineCells_) {
        c.passable = (this->*test)(c.x, c.y);
        all = all && c.passable;
    }
    return all;
}

void PathGrid::CellPathFree(Cell s, Cell g, std::vector<Cell>& path) {
    path.clear();
    if (!IsLoaded()) return;
    if (WalkLineMarking(s, g, &PathGrid::IsCellFree)) {
        path = {s, g};
        return;
    }
    const std::vector<LineCell>& line = lineCells_;
    if (line.size() < 2 || !line.back().passable) return;
    const Cell goal{line.back().x, line.back().y};
    Search(s, goal, path);
}

void PathGrid::CellPathAvoid2(Cell s, Cell g, std::vector<Cell>& path) {
    path.clear();
    if (!IsLoaded()) return;
    if (WalkLineMarking(s, g, &PathGrid::IsCellNot2)) {
        path = {s, g};
        return;
    }
    // The searches below leave the line buffer alone, so the walk is read in place.
    const std::vector<LineCell>& line = lineCells_;
    // Get as close to the goal as the search allows: try the line's cells from its end back.
    bool tried = false;
    Cell last{0, 0};
    for (std::size_t i = line.size(); i-- > 1;) {
        if (!line[i].passable) continue;
        const Cell target{line[i].x, line[i].y};
        // The search is deterministic: a cell that just failed fails again.
        if (tried && target == last) continue;
        tried = true;
        last = target;
        Search(s, target, path);
        if (!path.empty()) return;
    }
}

// ---------------------------------------------------------------------------------------------
// Ring searches and the pixel-level queries

bool PathGrid::RingSearch(Cell c, std::int32_t* ring, std::int32_t maxRings, CellTest test,
                          Cell& found) const {
    // Ring r tests the eight points c + r * (dx, dy) in this order. Every test passes only on
    // the grid, and each point lies on the grid for one span of rings: rings where no point is
    // on the grid are skipped at once, as if they had been tried.
    constexpr std::int32_t kDx[8] = {-1, 0, 1, -1, 1, 1, 0, -1};
    constexpr std::int32_t kDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    constexpr std::int64_t kNever = INT64_MAX;
    // The rings r at which v + d * r lies in [0, n): a span, all rings or none.
    auto span = [](std::int64_t v, std::int32_t d, std::int64_t n, std::int64_t& lo, std::int64_t& hi) {
        if (d == 0) {
            lo = v >= 0 && v < n ? 0 : kNever;
            hi = v >= 0 && v < n ? kNever : -1;
        } else if (d > 0) {
            lo = -v;
            hi = n - 1 - v;
        } else {
            lo = v - (n - 1);
            hi = v;
        }
    };
    std::int64_t lo[8], hi[8];
    for (int k = 0; k < 8; ++k) {
        std::int64_t xlo, xhi, ylo, yhi;
        span(c.x, kDx[k], width_, xlo, xhi);
        span(c.y, kDy[k], height_, ylo, yhi);
        lo[k] = std::max(xlo, ylo);
        hi[k] = std::min(xhi, yhi);
    }
    std::int64_t r = *ring;
    while (r <= maxRings) {
        std::int64_t next = kNever;
        bool onGrid = false;
        for (int k = 0; k < 8; ++k) {
            if (r < lo[k]) {
                next = std::min(next, lo[k]);
            } else if (r <= hi[k]) {
                onGrid = true;
                const Cell p{c.x + kDx[k] * static_cast<std::int32_t>(r), c.y + kDy[k] * static_cast<std::int32_t>(r)};
                if ((this->*test)(p.x, p.y)) {
                    found = p;
                    *ring = static_cast<std::int32_t>(r);
                    return true;
                }
            }
        }
        r = onGrid ? r + 1 : next;
    }
    *ring = maxRings + 1;
    return false;
}

bool PathGrid::FindNearestFreeCell(std::int32_t x, std::int32_t y, std::int32_t out[2]) const {
    const Cell c{PixelToCell(x), PixelToCell(y)};
    std::int32_t ring = 1;
    Cell found{};
    if (!RingSearch(c, &ring, kNearestRings, &PathGrid::IsCellFree, found)) return false;
    out[0] = CellCentre(found.x);
    out[1] = CellCentre(found.y);
    return true;
}

void PathGrid::FindPathFree(std::int32_t sx, std::int32_t sy, std::int32_t gx, std::int32_t gy,
                            std::vector<std::int32_t>& out) {
    LogInfo("(%d ,%d,  %d,%d)", sx, sy, gx, gy);
    const Cell s{PixelToCell(sx), PixelToCell(sy)};
    Cell g{PixelToCell(gx), PixelToCell(gy)};
    std::vector<Cell> path;
    // One ring count serves both ring searches: the start's search goes on from the ring
    // where the goal's search stopped.
    std::int32_t ring = 1;
    if (!IsCellFree(g.x, g.y)) {
        Cell moved{};
        if (RingSearch(g, &ring, kGoalRings, &PathGrid::IsCellFree, moved)) g = moved;
    }
    if (IsCellFree(s.x, s.y)) {
        CellPathFree(s, g, path);
    } else {
        LogInfo("Isblock: true");
        Cell c{};
        if (ring <= kGoalRings && RingSearch(s, &ring, kGoalRings, &PathGrid::IsCellFree, c)) {
            CellPathFree(c, g, path);
        }
    }
    WriteResult(path, false, out);
}

void PathGrid::FindPathAvoid2(std::int32_t sx, std::int32_t sy, std::int32_t gx, std::int32_t gy,
                              std::vector<std::int32_t>& out) {
    LogInfo("(%d ,%d,  %d,%d)", sx, sy, gx, gy);
    const Cell s{PixelToCell(sx), PixelToCell(sy)};
    const Cell g{PixelToCell(gx), PixelToCell(gy)};
    std::vector<Cell> path;
    if (IsCellNot2(s.x, s.y)) {
        CellPathAvoid2(s, g, path);
    } else {
        LogInfo("Isblock: true");
        std::int32_t ring = 1;
        Cell c{};
        if (RingSearch(s, &ring, kGoalRings, &PathGrid::IsCellNot2, c)) CellPathAvoid2(c, g, path);
    }
    WriteResult(path, true, out);
}

void PathGrid::WriteResult(std::vector<Cell>& list, bool thin, std::vector<std::int32_t>& out) const {
    list.push_back({-1, -1});  // the closing entry
    const std::size_t n = list.size();
    if (n >= 3) {
        if (thin) {
            // Drop the middle cells of straight horizontal and vertical runs (and repeated
            // cells), judged against the unthinned neighbours; the closing entry is the last
            // entry's successor and its own. Compacted in place: an entry is only written
            // over after it was read.
            std::size_t kept = 1;
            Cell a = list[0];
            for (std::size_t i = 1; i < n; ++i) {
                const Cell p = list[i];
                const Cell b = i + 1 < n ? list[i + 1] : p;
                const bool vertical = p.x == a.x && a.x == b.x && (p.y != a.y || p.y == b.y);
                const bool horizontal = p.y == a.y && a.y == b.y && (p.x != a.x || p.x == b.x);
                if (!vertical && !horizontal) list[kept++] = p;
                a = p;
            }
            list.resize(kept);
        }
        list.pop_back();
    }
    out.clear();
    out.reserve(2 + 2 * list.size());
    const auto count = static_cast<std::int32_t>(list.size());
    out.push_back(count);
    out.push_back(count);
    for (const Cell& c : list) {
        out.push_back(CellCentre(c.x));
        out.push_back(CellCentre(c.y));
    }
}

}  // namespace quor
