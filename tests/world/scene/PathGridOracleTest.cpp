#include "world/scene/PathGrid.h"

#include "tests/support/world/scene/MapFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace {

using quor::PathGrid;
using Cell = PathGrid::Cell;

// The system's own generator, so that the random grids are the same everywhere.
struct Lcg {
    std::uint32_t state = 1;
    std::int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<std::int32_t>((state >> 16) & 0x7FFF);
    }
    std::int32_t Below(std::int32_t n) { return Next() % n; }
};

struct RandomMap {
    std::int32_t width, height;
    std::vector<std::string> rows;
    bool Free(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height && rows[y][x] == '0';
    }
};

RandomMap MakeMap(Lcg& rng) {
    RandomMap m;
    m.width = 1 + rng.Below(24);
    m.height = 1 + rng.Below(24);
    const std::int32_t percentBlocked = rng.Below(55);
    for (std::int32_t y = 0; y < m.height; ++y) {
        std::string row;
        for (std::int32_t x = 0; x < m.width; ++x) {
            const bool blocked = rng.Below(100) < percentBlocked;
            row += blocked ? "124"[rng.Below(3)] : '0';
        }
        m.rows.push_back(row);
    }
    return m;
}

// Plain breadth-first search over the same eight moves: is t reachable from s?
bool Reachable(const RandomMap& m, Cell s, Cell t) {
    std::vector<char> seen(static_cast<std::size_t>(m.width * m.height), 0);
    std::deque<Cell> queue{s};
    seen[static_cast<std::size_t>(s.y * m.width + s.x)] = 1;
    while (!queue.empty()) {
        const Cell c = queue.front();
        queue.pop_front();
        if (c == t) return true;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const Cell n{c.x + dx, c.y + dy};
                if (!m.Free(n.x, n.y)) continue;
                char& s2 = seen[static_cast<std::size_t>(n.y * m.width + n.x)];
                if (s2) continue;
                s2 = 1;
                queue.push_back(n);
            }
        }
    }
    return false;
}

bool Neighbours(Cell a, Cell b) {
    const int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y);
    return dx <= 1 && dy <= 1 && dx + dy > 0;
}

Cell RandomCell(Lcg& rng, const RandomMap& m) { return {rng.Below(m.width), rng.Below(m.height)}; }

TEST(PathGridOracle, SearchIsValidAndCompleteOnRandomGrids) {
    Lcg rng;
    int reached = 0, unreached = 0;
    for (int round = 0; round < 300; ++round) {
        const RandomMap m = MakeMap(rng);
        const auto bytes = quor::fixtures::PathData(m.rows);
        PathGrid grid;
        ASSERT_TRUE(grid.LoadFromMemory(bytes.data(), bytes.size()));
        std::vector<Cell> path;
        for (int q = 0; q < 8; ++q) {
            const Cell s = RandomCell(rng, m), t = RandomCell(rng, m);
            if (!m.Free(s.x, s.y) || !m.Free(t.x, t.y) || s == t) continue;
            SCOPED_TRACE(::testing::Message() << "round " << round << " (" << s.x << "," << s.y << ") -> ("
                                              << t.x << "," << t.y << ")");
            grid.Search(s, t, path);
            const bool expected = Reachable(m, s, t);
            ASSERT_EQ(!path.empty(), expected);
            std::vector<std::int32_t> out;
            grid.FindPathFree(s.x * 16 + 3, s.y * 16 + 12, t.x * 16 + 15, t.y * 16, out);
            if (path.empty()) {
                ++unreached;
                EXPECT_EQ(out, (std::vector<std::int32_t>{1, 1, -8, -8}));
                continue;
            }
            ++reached;
            EXPECT_EQ(path.front(), s);
            EXPECT_EQ(path.back(), t);
            for (std::size_t i = 1; i < path.size(); ++i) {
                ASSERT_TRUE(Neighbours(path[i - 1], path[i])) << i;
                ASSERT_TRUE(m.Free(path[i].x, path[i].y)) << i;
            }

            // The pixel-level search agrees: a straight free line or a valid path.
            ASSERT_GE(out.size(), 4u);
            ASSERT_EQ(out[0], out[1]);
            ASSERT_EQ(out.size(), static_cast<std::size_t>(2 + 2 * out[0]));
            std::vector<Cell> cells;
            for (std::int32_t i = 0; i < out[0]; ++i) cells.push_back({(out[2 + 2 * i] - 8) / 16, (out[3 + 2 * i] - 8) / 16});
            EXPECT_EQ(cells.front(), s);
            EXPECT_EQ(cells.back(), t);
            if (cells.size() == 2 && !Neighbours(s, t)) {
                for (const auto& c : grid.WalkLine(s, t)) EXPECT_TRUE(m.Free(c.x, c.y));
            } else {
                for (std::size_t i = 1; i < cells.size(); ++i) ASSERT_TRUE(Neighbours(cells[i - 1], cells[i]));
            }
        }
    }
    // The random maps must exercise both answers.
    EXPECT_GT(reached, 100);
    EXPECT_GT(unreached, 20);
}

}  // namespace
