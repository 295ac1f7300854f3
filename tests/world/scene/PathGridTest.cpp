#include "world/scene/PathGrid.h"

#include "platform/win32/Messages.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/scene/MapFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using quor::PathGrid;
using quor::fixtures::PathData;
using Cell = PathGrid::Cell;
using Words = std::vector<std::int32_t>;

// The 8 x 6 map most cases use: a wall in column 3 from the top down to row 3.
const std::vector<std::string> kWallRows = {
    "00010000",
    "00010000",
    "00010000",
    "00010000",
    "00000000",
    "00000000",
};

bool Load(PathGrid& grid, const std::vector<std::string>& rows) {
    const auto bytes = PathData(rows);
    return grid.LoadFromMemory(bytes.data(), bytes.size());
}

std::int32_t Px(std::int32_t cell) { return cell * 16 + 8; }

// The words a path search writes for a list of cells.
Words PathWords(const std::vector<Cell>& cells) {
    if (cells.empty()) return {1, 1, -8, -8};
    Words w{static_cast<std::int32_t>(cells.size()), static_cast<std::int32_t>(cells.size())};
    for (const Cell& c : cells) {
        w.push_back(Px(c.x));
        w.push_back(Px(c.y));
    }
    return w;
}

Words FindFree(PathGrid& grid, Cell s, Cell g) {
    Words out;
    grid.FindPathFree(Px(s.x), Px(s.y), Px(g.x), Px(g.y), out);
    return out;
}

Words FindAvoid2(PathGrid& grid, Cell s, Cell g) {
    Words out;
    grid.FindPathAvoid2(Px(s.x), Px(s.y), Px(g.x), Px(g.y), out);
    return out;
}

TEST(PathGrid, LoadsCellsRowByRow) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    EXPECT_EQ(grid.Width(), 8);
    EXPECT_EQ(grid.Height(), 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(grid.CellValue(x, y), kWallRows[y][x] - '0') << x << "," << y;
        }
    }
}

TEST(PathGrid, CellValueIsTheCharacterLessZero) {
    PathGrid grid;
    const std::string row = std::string("0124a") + static_cast<char>(0xFF);
    ASSERT_TRUE(Load(grid, {row}));
    const std::int32_t expected[] = {0, 1, 2, 4, 'a' - '0', -1 - '0'};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(grid.CellValue(x, 0), expected[x]) << x;
}

TEST(PathGrid, CellTests) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"0124"}));
    struct Case {
        std::int32_t x, y;
        bool free, not2, not4;
    } cases[] = {
        {0, 0, true, true, true},     {1, 0, false, true, true},     {2, 0, false, false, true},
        {3, 0, false, true, false},   {-1, 0, false, false, false},  {4, 0, false, false, false},
        {0, -1, false, false, false}, {0, 1, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid.IsCellFree(c.x, c.y), c.free) << c.x << "," << c.y;
        EXPECT_EQ(grid.IsCellNot2(c.x, c.y), c.not2) << c.x << "," << c.y;
        EXPECT_EQ(grid.IsCellNot4(c.x, c.y), c.not4) << c.x << "," << c.y;
    }
}

TEST(PathGrid, PixelToCellTruncatesTowardZero) {
    const std::pair<std::int32_t, std::int32_t> ints[] = {
        {-1, 0}, {-15, 0}, {-16, -1}, {0, 0}, {15, 0}, {16, 1}, {127, 7}, {-33, -2}};
    for (auto [px, cell] : ints) EXPECT_EQ(PathGrid::PixelToCell(px), cell) << px;
    const std::pair<float, std::int32_t> floats[] = {
        {-1.0f, 0}, {-15.9f, 0}, {-16.0f, -1}, {15.99f, 0}, {16.0f, 1}, {100.5f, 6}};
    for (auto [px, cell] : floats) EXPECT_EQ(PathGrid::PixelToCell(px), cell) << px;
}

TEST(PathGrid, FloatPixelsBeyondAnyMapAreOutside) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"00", "00"}));
    for (float v : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), 1e30f, -1e30f}) {
        const std::int32_t c = PathGrid::PixelToCell(v);
        EXPECT_FALSE(grid.IsCellFree(c, 0)) << v;
        EXPECT_FALSE(grid.IsCellFree(0, c)) << v;
    }
}

// --- line walk -------------------------------------------------------------------------------

TEST(PathGrid, LineWalkTable) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    struct Case {
        Cell from, to;
        std::vector<Cell> cells;
    } cases[] = {
        {{0, 0}, {3, 1}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {3, 1}}},
        // Walked from the other end the cells differ: the error term rounds the same way.
        {{3, 1}, {0, 0}, {{3, 1}, {2, 1}, {1, 0}, {0, 0}, {0, 0}}},
        {{0, 0}, {1, 3}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 3}}},
        {{0, 0}, {0, 3}, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 3}}},
        {{0, 0}, {2, 2}, {{0, 0}, {1, 1}, {2, 2}, {2, 2}}},
        {{5, 4}, {5, 4}, {{5, 4}, {5, 4}}},
        {{7, 0}, {4, 0}, {{7, 0}, {6, 0}, {5, 0}, {4, 0}, {4, 0}}},
    };
    for (const Case& c : cases) {
        const auto& line = grid.WalkLine(c.from, c.to);
        ASSERT_EQ(line.size(), c.cells.size()) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
        for (std::size_t i = 0; i < line.size(); ++i) {
            EXPECT_EQ(line[i].x, c.cells[i].x) << i;
            EXPECT_EQ(line[i].y, c.cells[i].y) << i;
        }
    }
}

TEST(PathGrid, GetLineCellsWritesCountsCentresAndClosingPair) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    Words out;
    // Pixels (-1, 5) and (63, 20) lie in cells (0, 0) and (3, 1).
    EXPECT_EQ(grid.GetLineCells(-1, 5, 63, 20, out), -1);
    EXPECT_EQ(out, (Words{5, 5, 8, 8, 24, 8, 40, 24, 56, 24, 56, 24, -1, -1}));
}

// The line walk as written for the map tools, unbounded and in wide integers: the oracle of
// the walk the grid does within its buffer.
// Only the first `limit` cells are kept (the plain walk of a far end is long).
std::vector<std::pair<std::int64_t, std::int64_t>> PlainLineWalk(Cell from, Cell to, std::size_t limit = 1u << 20) {
    std::vector<std::pair<std::int64_t, std::int64_t>> cells;
    std::int64_t x = from.x, y = from.y;
    const std::int64_t dx = std::llabs(std::int64_t(to.x) - from.x), dy = std::llabs(std::int64_t(to.y) - from.y);
    const std::int64_t sx = to.x > from.x ? 1 : (to.x < from.x ? -1 : 0);
    const std::int64_t sy = to.y > from.y ? 1 : (to.y < from.y ? -1 : 0);
    if (dx < dy) {
        std::int64_t error = 2 * dx - dy;
        for (std::int64_t i = 0; i < dy && cells.size() < limit; ++i) {
            cells.emplace_back(x, y);
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
        for (std::int64_t i = 0; i < dx && cells.size() < limit; ++i) {
            cells.emplace_back(x, y);
            x += sx;
            if (error >= 0) {
                y += sy;
                error += 2 * (dy - dx);
            } else {
                error += 2 * dy;
            }
        }
    }
    cells.emplace_back(to.x, to.y);
    cells.emplace_back(to.x, to.y);
    return cells;
}

// Entries of the plain walk: its steps plus the end twice.
std::int64_t PlainLineLength(Cell from, Cell to) {
    return std::max(std::llabs(std::int64_t(to.x) - from.x), std::llabs(std::int64_t(to.y) - from.y)) + 2;
}

// The grid's walk must be the plain walk when that fits the buffer; else the buffer full: the
// plain walk's first steps, then the cell they reached, twice, in place of the end.
void ExpectWalk(PathGrid& grid, Cell from, Cell to) {
    SCOPED_TRACE(testing::Message() << grid.Width() << "x" << grid.Height() << " (" << from.x << "," << from.y
                                    << ") -> (" << to.x << "," << to.y << ")");
    const std::size_t room = std::size_t(grid.Width() + grid.Height() + 4);
    const bool fits = PlainLineLength(from, to) <= std::int64_t(room);
    auto want = PlainLineWalk(from, to, room - 1);
    if (!fits) {
        const auto reached = want[room - 2];
        want.resize(room - 2);
        want.push_back(reached);
        want.push_back(reached);
    }
    const auto& got = grid.WalkLine(from, to);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].x, want[i].first) << i;
        EXPECT_EQ(got[i].y, want[i].second) << i;
    }
}

TEST(PathGrid, LinesWithEndsOffTheGridAreWalkedAsWritten) {
    // Ends 1, 2, 3 and width + height cells outside, in every direction, from every cell: a
    // walk that fits the buffer (width + height + 4 entries) must be the plain walk, unbent;
    // the few that do not (far corners from the far side) are cut along their own course.
    const std::vector<std::vector<std::string>> maps = {{"0"}, {"000", "000"}, kWallRows};
    for (const auto& rows : maps) {
        PathGrid grid;
        ASSERT_TRUE(Load(grid, rows));
        const std::int32_t w = grid.Width(), h = grid.Height();
        for (std::int32_t out : {1, 2, 3, w + h}) {
            const Cell ends[] = {{w - 1 + out, 0},     {-out, h - 1},        {0, h - 1 + out},
                                 {w - 1, -out},        {w - 1 + out, h + out}, {-out, -out},
                                 {w - 1 + out, h / 2}, {w / 2, -out}};
            for (std::int32_t fy = 0; fy < h; ++fy) {
                for (std::int32_t fx = 0; fx < w; ++fx) {
                    for (const Cell& to : ends) ExpectWalk(grid, {fx, fy}, to);
                }
            }
        }
    }
    // The case that bent: on a 1 x 1 grid the line from (0, 0) to (3, 0) has five entries.
    PathGrid one;
    ASSERT_TRUE(Load(one, {"0"}));
    EXPECT_EQ(one.WalkLine({0, 0}, {3, 0}).size(), 5u);
}

TEST(PathGrid, LineToAFarPointIsCutAlongItsOwnCourse) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    const std::size_t room = 8 + 6 + 4;
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    const std::int32_t small = std::numeric_limits<std::int32_t>::min();
    const std::int32_t ends[][4] = {{8, 8, big, big},      {big, 8, small, 8}, {small, small, big, big},
                                    {8, 8, 8, small},      {8, 8, 1000000, 20}, {40, 40, 40 + 16 * 17, 40 + 16 * 5},
                                    {40, 40, 40 + 16 * 16, 40 - 16 * 7}};
    for (const auto& e : ends) {
        const Cell from{PathGrid::PixelToCell(e[0]), PathGrid::PixelToCell(e[1])};
        const Cell to{PathGrid::PixelToCell(e[2]), PathGrid::PixelToCell(e[3])};
        ExpectWalk(grid, from, to);
        const auto& line = grid.WalkLine(from, to);
        EXPECT_LE(line.size(), room);
        Words out;
        grid.GetLineCells(e[0], e[1], e[2], e[3], out);
        ASSERT_EQ(out.size(), 2 + 2 * line.size() + 2);
        EXPECT_EQ(out[0], std::int32_t(line.size()));
        for (std::size_t i = 0; i < line.size(); ++i) {
            EXPECT_EQ(out[2 + 2 * i], line[i].x * 16 + 8);
            EXPECT_EQ(out[3 + 2 * i], line[i].y * 16 + 8);
        }
    }
    // The end beyond the right edge is still outside, so a free-ground path is not claimed.
    Words path;
    grid.FindPathAvoid2(8, 72, big, 72, path);
    ASSERT_GE(path.size(), 4u);
    EXPECT_LT(path[path.size() - 2], 8 * 16);
}

TEST(PathGrid, NearestFreeCellFollowsThePlainRings) {
    // The ring search against its plain form: rings 1 to 10000, eight points each in order,
    // the first free cell wins; points on, near and far off small, mostly blocked grids.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const std::int32_t w = 1 + std::int32_t(random() % 5), h = 1 + std::int32_t(random() % 5);
        std::vector<std::string> rows(std::size_t(h), std::string(std::size_t(w), '1'));
        for (auto& row : rows) {
            for (char& c : row) c = random() % 4 == 0 ? '0' : '1';
        }
        PathGrid grid;
        ASSERT_TRUE(Load(grid, rows));
        const std::int32_t reach = round % 3 == 0 ? 40 : 8;
        const std::int32_t px = -16 * reach + std::int32_t(random() % std::uint32_t(16 * (w + 2 * reach)));
        const std::int32_t py = -16 * reach + std::int32_t(random() % std::uint32_t(16 * (h + 2 * reach)));
        const Cell c{PathGrid::PixelToCell(px), PathGrid::PixelToCell(py)};
        bool want = false;
        Cell wantCell{};
        for (std::int32_t r = 1; r <= PathGrid::kNearestRings && !want; ++r) {
            const Cell points[8] = {{c.x - r, c.y - r}, {c.x, c.y - r}, {c.x + r, c.y - r}, {c.x - r, c.y},
                                    {c.x + r, c.y},     {c.x + r, c.y + r}, {c.x, c.y + r}, {c.x - r, c.y + r}};
            for (const Cell& p : points) {
                if (grid.IsCellFree(p.x, p.y)) {
                    want = true;
                    wantCell = p;
                    break;
                }
            }
        }
        std::int32_t out[2] = {-99, -99};
        ASSERT_EQ(grid.FindNearestFreeCell(px, py, out), want) << "round " << round;
        if (want) {
            EXPECT_EQ(out[0], Px(wantCell.x)) << "round " << round;
            EXPECT_EQ(out[1], Px(wantCell.y)) << "round " << round;
        } else {
            EXPECT_EQ(out[0], -99);
        }
    }
}

TEST(PathGrid, AvoidTwoPathsFollowThePlainLineOracle) {
    // The avoid-2 cell path as written: walk the plain line, mark cells that are not 2, take
    // the straight path when all are, else search from the start to the passable cells from
    // the line's end back. Random small grids with goals up to width + height cells outside.
    std::mt19937 random(35);
    const char kinds[] = {'0', '0', '0', '2', '4', '1'};
    int differentTargets = 0;
    for (int round = 0; round < 400; ++round) {
        const std::int32_t w = 1 + std::int32_t(random() % 6), h = 1 + std::int32_t(random() % 6);
        std::vector<std::string> rows(std::size_t(h), std::string(std::size_t(w), '0'));
        for (auto& row : rows) {
            for (char& c : row) c = kinds[random() % 6];
        }
        PathGrid grid;
        ASSERT_TRUE(Load(grid, rows));
        const Cell s{std::int32_t(random() % std::uint32_t(w)), std::int32_t(random() % std::uint32_t(h))};
        if (!grid.IsCellNot2(s.x, s.y)) continue;
        const std::int32_t reach = w + h;
        const Cell g{-reach + std::int32_t(random() % std::uint32_t(w + 2 * reach)),
                     -reach + std::int32_t(random() % std::uint32_t(h + 2 * reach))};
        const auto line = PlainLineWalk(s, g);
        if (line.size() > std::size_t(w + h + 4)) continue;
        std::vector<Cell> want;
        bool all = true;
        for (const auto& c : line) all = all && grid.IsCellNot2(std::int32_t(c.first), std::int32_t(c.second));
        if (all) {
            want = {s, g};
        } else {
            for (std::size_t i = line.size(); i-- > 1 && want.empty();) {
                const Cell c{std::int32_t(line[i].first), std::int32_t(line[i].second)};
                if (grid.IsCellNot2(c.x, c.y)) grid.Search(s, c, want);
            }
        }
        std::vector<Cell> got;
        grid.CellPathAvoid2(s, g, got);
        EXPECT_EQ(got, want) << "round " << round;
        differentTargets += got != std::vector<Cell>{s, g} && !got.empty();
    }
    EXPECT_GT(differentTargets, 10);  // the table reached the searches, not only straight lines
}

// --- searches --------------------------------------------------------------------------------

TEST(PathGrid, OpenGroundGivesTwoPoints) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, std::vector<std::string>(6, "00000000")));
    EXPECT_EQ(FindFree(grid, {0, 0}, {7, 5}), PathWords({{0, 0}, {7, 5}}));
    EXPECT_EQ(FindAvoid2(grid, {6, 1}, {1, 4}), PathWords({{6, 1}, {1, 4}}));
    EXPECT_EQ(grid.ExpansionCount(), 0u);  // a clear line needs no search
}

// The exact paths below were worked out by hand from the search rules: estimate
// (|dx| + |dy|) * 100, f = estimate - depth + cost, neighbours in the order right, down, left,
// up and the four diagonals, stop when the goal is first reached.
TEST(PathGrid, WallGivesTheWorkedDetour) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    EXPECT_EQ(FindFree(grid, {2, 2}, {4, 2}), PathWords({{2, 2}, {2, 3}, {3, 4}, {4, 3}, {4, 2}}));
}

TEST(PathGrid, SmallBlockGivesTheWorkedDetour) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"00000", "00100", "00000"}));
    EXPECT_EQ(FindFree(grid, {0, 1}, {4, 1}), PathWords({{0, 1}, {1, 1}, {2, 2}, {3, 1}, {4, 1}}));
}

TEST(PathGrid, DiagonalStepsPassBetweenBlockedCells) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"01111", "10101", "11011"}));
    EXPECT_EQ(FindFree(grid, {0, 0}, {3, 1}), PathWords({{0, 0}, {1, 1}, {2, 2}, {3, 1}}));
}

TEST(PathGrid, NoPathGivesTheClosingEntryAlone) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, std::vector<std::string>(6, "00020000")));
    EXPECT_EQ(FindFree(grid, {1, 1}, {5, 1}), (Words{1, 1, -8, -8}));
    EXPECT_EQ(FindAvoid2(grid, {2, 1}, {5, 1}), (Words{1, 1, -8, -8}));
    // One cell further from the wall, the avoid-2 walker still gets up to it.
    EXPECT_EQ(FindAvoid2(grid, {1, 1}, {5, 1}), PathWords({{1, 1}, {2, 1}}));
    std::vector<Cell> path;
    grid.Search({1, 1}, {5, 1}, path);
    EXPECT_TRUE(path.empty());
}

TEST(PathGrid, SearchFromABlockedCellOrToAnOffGridCellIsEmpty) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    std::vector<Cell> path;
    grid.Search({3, 0}, {5, 0}, path);
    EXPECT_TRUE(path.empty());
    grid.Search({0, 0}, {8, 0}, path);
    EXPECT_TRUE(path.empty());
    grid.Search({0, 0}, {std::numeric_limits<std::int32_t>::min(), 0}, path);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(grid.ExpansionCount(), 0u);
}

TEST(PathGrid, BlockedGoalMovesToTheFirstFreeRingPoint) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"00000000", "00001100", "00000100", "00000000", "00000000", "00000000"}));
    // Ring 1 around (5, 2): (4, 1) and (5, 1) are blocked, (6, 1) is the first free point.
    EXPECT_EQ(FindFree(grid, {7, 3}, {5, 2}), PathWords({{7, 3}, {6, 1}}));
}

TEST(PathGrid, GoalWithoutFreeRingPointsGivesNoPath) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"01111111", "11111111", "11111111", "11111111", "11111111", "11111111"}));
    EXPECT_EQ(FindFree(grid, {0, 0}, {7, 5}), (Words{1, 1, -8, -8}));
}

TEST(PathGrid, BlockedStartMovesToTheFirstFreeRingPoint) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    // Ring 1 around (3, 0): three points above the map, then (2, 0).
    EXPECT_EQ(FindFree(grid, {3, 0}, {0, 0}), PathWords({{2, 0}, {0, 0}}));
}

TEST(PathGrid, StartRingsGoOnFromWhereTheGoalRingsStopped) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"00000000", "01000000", "00000000", "00000000", "00000011", "00000011"}));
    // The goal (7, 5) moves at ring 2 to (5, 3); the blocked start (1, 1) then searches from
    // ring 2, so its free ring-1 point (0, 0) is passed over for (3, 1).
    EXPECT_EQ(FindFree(grid, {1, 1}, {7, 5}), PathWords({{3, 1}, {5, 3}}));
}

TEST(PathGrid, Avoid2ThinsStraightRuns) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"0000", "2220", "0000"}));
    // The free variant gives the whole worked search path...
    EXPECT_EQ(FindFree(grid, {0, 2}, {0, 0}),
              PathWords({{0, 2}, {1, 2}, {2, 2}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}));
    // ...the avoid-2 variant the same path without the middles of its straight runs.
    EXPECT_EQ(FindAvoid2(grid, {0, 2}, {0, 0}), PathWords({{0, 2}, {2, 2}, {3, 1}, {2, 0}, {0, 0}}));
}

TEST(PathGrid, Avoid2GetsAsFarAlongTheLineAsItCan) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"000020", "000022"}));
    // (5, 0) is walled in; the walk back along the line reaches (3, 0), and the path to it
    // thins to its two ends.
    EXPECT_EQ(FindAvoid2(grid, {0, 0}, {5, 0}), PathWords({{0, 0}, {3, 0}}));
    // The free variant does not move a goal that is free but unreachable.
    EXPECT_EQ(FindFree(grid, {0, 0}, {5, 0}), (Words{1, 1, -8, -8}));
}

TEST(PathGrid, Avoid2BlockedStartUsesTheNot2Rings) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"1000", "2200", "0000"}));
    // Ring 1 around (0, 1): (-1, 0) is outside, (0, 0) blocks the search (1) but is not 2.
    EXPECT_EQ(FindAvoid2(grid, {0, 1}, {3, 0}), PathWords({{0, 0}, {3, 0}}));
}

TEST(PathGrid, NearestFreeCellFollowsTheRingOrder) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"00000000", "01110000", "01010000", "01110000", "00000000", "00000000"}));
    struct Case {
        std::int32_t px, py;
        bool found;
        std::int32_t x, y;
    } cases[] = {
        {40, 40, true, 8, 8},    // cell (2, 2) is free but never its own answer
        {8, 8, true, 24, 8},     // corner: (1, 0) is the first ring point on the map
        {120, 88, true, 104, 72},
        {-1, 5, true, 24, 8},    // pixel -1 is in cell 0
    };
    for (const Case& c : cases) {
        std::int32_t out[2] = {-99, -99};
        EXPECT_EQ(grid.FindNearestFreeCell(c.px, c.py, out), c.found) << c.px << "," << c.py;
        EXPECT_EQ(out[0], c.x) << c.px << "," << c.py;
        EXPECT_EQ(out[1], c.y) << c.px << "," << c.py;
    }
}

TEST(PathGrid, NearestFreeCellLeavesTheOutputAloneWhenNoneIsFree) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, {"011", "111"}));
    std::int32_t out[2] = {-99, -99};
    EXPECT_FALSE(grid.FindNearestFreeCell(8, 8, out));  // only its own cell is free
    EXPECT_EQ(out[0], -99);
    EXPECT_EQ(out[1], -99);
}

TEST(PathGrid, SearchesReuseTheirStateAcrossQueries) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    const Words first = FindFree(grid, {2, 2}, {4, 2});
    for (int i = 0; i < 3; ++i) {
        FindFree(grid, {0, 5}, {7, 0});
        EXPECT_EQ(FindFree(grid, {2, 2}, {4, 2}), first);
    }
}

// --- loading ---------------------------------------------------------------------------------

TEST(PathGrid, EveryTruncatedPrefixIsRefused) {
    const auto bytes = PathData(kWallRows);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        PathGrid grid;
        const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(grid.LoadFromMemory(prefix.data(), prefix.size())) << n;
        EXPECT_FALSE(grid.IsLoaded());
    }
    PathGrid grid;
    EXPECT_FALSE(grid.LoadFromMemory(nullptr, 100));
}

TEST(PathGrid, SizesThatOverrunTheDataAreRefused) {
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{big, 1}, {1, big}, {big, big}, {65536, 65536}, {9, 6}, {8, 7}};
    const auto body = PathData(kWallRows);
    for (auto [w, h] : sizes) {
        const auto bytes = PathData(w, h, std::string(body.begin() + 9, body.end()));
        PathGrid grid;
        EXPECT_FALSE(grid.LoadFromMemory(bytes.data(), bytes.size())) << w << " x " << h;
    }
}

TEST(PathGrid, GridTooLargeForInt32CostsIsRefused) {
    // One row of 5.5 million cells: every byte is present, but a path along it could cost
    // more than an int32 holds.
    const std::int32_t width = 5500000;
    const auto bytes = PathData(width, 1, std::string(static_cast<std::size_t>(width), '0') + "\n");
    PathGrid grid;
    EXPECT_FALSE(grid.LoadFromMemory(bytes.data(), bytes.size()));
    EXPECT_FALSE(grid.IsLoaded());
}

TEST(PathGrid, SizeNotPositiveShowsTheWarningBox) {
    struct Case {
        std::int32_t width, height;
        const char* caption;
    } cases[] = {
        {0, 6, "格子宽度小于0"}, {-3, 6, "格子宽度小于0"}, {8, 0, "格子高度小于0"}, {8, -1, "格子高度小于0"},
    };
    auto& sink = quor::win32::MessageSink::Instance();
    for (const Case& c : cases) {
        sink.Clear();
        const auto bytes = PathData(c.width, c.height, std::string(64, '0'));
        PathGrid grid;
        EXPECT_FALSE(grid.LoadFromMemory(bytes.data(), bytes.size()));
        const auto boxes = sink.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.width << " x " << c.height;
        EXPECT_EQ(boxes[0].window, nullptr);
        EXPECT_EQ(boxes[0].text, "警告！");
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].type, quor::win32::MB_OK);
    }
    sink.Clear();
}

TEST(PathGrid, RefusedDataLogsWhy) {
    quor::test::BoundHost bound;
    const auto full = PathData(kWallRows);
    for (std::size_t n : {std::size_t{0}, std::size_t{6}, full.size() - 1}) {
        bound.host.log.Clear();
        PathGrid grid;
        EXPECT_FALSE(grid.LoadFromMemory(full.data(), n));
        bool logged = false;
        for (const auto& e : bound.host.log.Entries()) logged = logged || e.text.rfind("[ERROR] path data", 0) == 0;
        EXPECT_TRUE(logged) << n;
    }
}

TEST(PathGrid, SearchesLogTheirQuery) {
    quor::test::BoundHost bound;
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    bound.host.log.Clear();
    Words out;
    grid.FindPathFree(56, 8, 8, 8, out);  // the start (3, 0) is in the wall
    std::vector<std::string> texts;
    for (const auto& e : bound.host.log.Entries()) texts.push_back(e.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"(56 ,8,  8,8)", "Isblock: true"}));
}

TEST(PathGrid, FailedLoadKeepsTheEarlierGrid) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    const auto bad = PathData(8, 100, "0000");
    EXPECT_FALSE(grid.LoadFromMemory(bad.data(), bad.size()));
    EXPECT_EQ(grid.Width(), 8);
    EXPECT_EQ(grid.Height(), 6);
    EXPECT_EQ(FindFree(grid, {2, 2}, {4, 2}), PathWords({{2, 2}, {2, 3}, {3, 4}, {4, 3}, {4, 2}}));
}

TEST(PathGrid, UnloadedGridAnswersNothing) {
    PathGrid grid;
    EXPECT_FALSE(grid.IsCellFree(0, 0));
    EXPECT_EQ(FindFree(grid, {0, 0}, {1, 1}), (Words{1, 1, -8, -8}));
    EXPECT_EQ(FindAvoid2(grid, {0, 0}, {1, 1}), (Words{1, 1, -8, -8}));
    std::int32_t out[2] = {-99, -99};
    EXPECT_FALSE(grid.FindNearestFreeCell(0, 0, out));
}

}  // namespace
