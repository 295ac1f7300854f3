#include "world/scene/PathGrid.h"

#include "platform/win32/Messages.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/scene/MapFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
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

TEST(PathGrid, LineToAFarPointStaysInsideTheBuffer) {
    PathGrid grid;
    ASSERT_TRUE(Load(grid, kWallRows));
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    const std::int32_t small = std::numeric_limits<std::int32_t>::min();
    const std::int32_t ends[][4] = {
        {8, 8, big, big}, {big, 8, small, 8}, {small, small, big, big}, {8, 8, 8, small}, {8, 8, 1000000, 20}};
    for (const auto& e : ends) {
        Words out;
        grid.GetLineCells(e[0], e[1], e[2], e[3], out);
        ASSERT_GE(out.size(), 4u);
        const std::int32_t count = out[0];
        EXPECT_LE(count, 8 + 6 + 4);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(2 + 2 * count + 2));
        // Every cell is on the grid or in the ring just outside it.
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t x = (out[2 + 2 * i] - 8) / 16, y = (out[3 + 2 * i] - 8) / 16;
            EXPECT_GE(x, -1);
            EXPECT_LE(x, 8);
            EXPECT_GE(y, -1);
            EXPECT_LE(y, 6);
        }
    }
    // The end beyond the right edge is still outside, so a free-ground path is not claimed.
    Words path;
    grid.FindPathAvoid2(8, 72, big, 72, path);
    ASSERT_GE(path.size(), 4u);
    EXPECT_LT(path[path.size() - 2], 8 * 16);
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
