// Path queries on square maps with a quarter of the cells blocked: the grid's own search
// against Boost.Graph's A* on the same 8-connected graph (same step costs, same estimate,
// same start and goal pairs). The two may choose different paths; what is compared is the
// search machinery. Variants: "grid" (PathGrid::FindPathFree) and "ref" (Boost.Graph).
#include "world/scene/PathGrid.h"

#include "tests/support/world/scene/MapFixtures.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#ifdef QUOR_HAVE_BOOST
#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/property_map/property_map.hpp>
#endif

namespace {

using quor::PathGrid;

struct Lcg {
    std::uint32_t state = 1;
    std::int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<std::int32_t>((state >> 16) & 0x7FFF);
    }
    std::int32_t Below(std::int32_t n) { return static_cast<std::int32_t>((static_cast<std::uint32_t>(Next()) << 15 | static_cast<std::uint32_t>(Next())) % static_cast<std::uint32_t>(n)); }
};

struct Map {
    std::int32_t n = 0;
    std::vector<std::uint8_t> blocked;  // row-major
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;  // start and goal cell indices
    PathGrid grid;
};

constexpr int kPairs = 64;

// One map per size, built once: 25% obstacles, and start/goal pairs of free cells that are
// connected (an unreachable goal would only measure flooding the component).
Map& GetMap(std::int32_t n) {
    static std::map<std::int32_t, std::unique_ptr<Map>> maps;
    auto& slot = maps[n];
    if (slot) return *slot;
    slot = std::make_unique<Map>();
    Map& m = *slot;
    m.n = n;
    Lcg rng;
    m.blocked.resize(static_cast<std::size_t>(n) * n);
    std::vector<std::string> rows(static_cast<std::size_t>(n), std::string(static_cast<std::size_t>(n), '0'));
    for (std::int32_t y = 0; y < n; ++y) {
        for (std::int32_t x = 0; x < n; ++x) {
            const bool b = rng.Below(100) < 25;
            m.blocked[static_cast<std::size_t>(y) * n + x] = b;
            if (b) rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '1';
        }
    }
    const auto bytes = quor::fixtures::PathData(rows);
    m.grid.LoadFromMemory(bytes.data(), bytes.size());

    // Component labels by breadth-first search over the eight moves.
    std::vector<std::int32_t> label(m.blocked.size(), -1);
    std::int32_t next = 0;
    for (std::size_t i = 0; i < m.blocked.size(); ++i) {
        if (m.blocked[i] || label[i] >= 0) continue;
        std::deque<std::int32_t> queue{static_cast<std::int32_t>(i)};
        label[i] = next;
        while (!queue.empty()) {
            const std::int32_t c = queue.front();
            queue.pop_front();
            const std::int32_t cx = c % n, cy = c / n;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const std::int32_t x = cx + dx, y = cy + dy;
                    if (x < 0 || y < 0 || x >= n || y >= n) continue;
                    const std::size_t j = static_cast<std::size_t>(y) * n + x;
                    if (m.blocked[j] || label[j] >= 0) continue;
                    label[j] = next;
                    queue.push_back(static_cast<std::int32_t>(j));
                }
            }
        }
        ++next;
    }
    while (static_cast<int>(m.pairs.size()) < kPairs) {
        const std::int32_t s = rng.Below(n * n), g = rng.Below(n * n);
        if (s == g || m.blocked[static_cast<std::size_t>(s)] || m.blocked[static_cast<std::size_t>(g)]) continue;
        if (label[static_cast<std::size_t>(s)] != label[static_cast<std::size_t>(g)]) continue;
        m.pairs.emplace_back(s, g);
    }
    return m;
}

void BM_PathGrid(benchmark::State& state) {
    Map& m = GetMap(static_cast<std::int32_t>(state.range(0)));
    std::vector<std::int32_t> out;
    const std::uint64_t before = m.grid.ExpansionCount();
    std::size_t i = 0;
    std::int64_t queries = 0;
    for (auto _ : state) {
        const auto [s, g] = m.pairs[i++ % m.pairs.size()];
        m.grid.FindPathFree((s % m.n) * 16 + 8, (s / m.n) * 16 + 8, (g % m.n) * 16 + 8, (g / m.n) * 16 + 8, out);
        benchmark::DoNotOptimize(out.data());
        ++queries;
    }
    state.counters["queries"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
    state.counters["expansions"] =
        benchmark::Counter(static_cast<double>(m.grid.ExpansionCount() - before), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PathGrid)->Name("PathFindFree.grid")->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

#ifdef QUOR_HAVE_BOOST

using Graph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, int, boost::no_property,
                                                 std::uint32_t, std::uint32_t>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

struct FoundGoal {};

class Estimate : public boost::astar_heuristic<Graph, int> {
public:
    Estimate(std::int32_t n, Vertex goal) : n_(n), gx_(static_cast<std::int32_t>(goal) % n), gy_(static_cast<std::int32_t>(goal) / n) {}
    int operator()(Vertex v) const {
        const std::int32_t x = static_cast<std::int32_t>(v) % n_, y = static_cast<std::int32_t>(v) / n_;
        return (std::abs(x - gx_) + std::abs(y - gy_)) * 100;
    }

private:
    std::int32_t n_, gx_, gy_;
};

class GoalVisitor : public boost::default_astar_visitor {
public:
    GoalVisitor(Vertex goal, std::uint64_t* expanded) : goal_(goal), expanded_(expanded) {}
    void examine_vertex(Vertex v, const Graph&) {
        ++*expanded_;
        if (v == goal_) throw FoundGoal{};
    }

private:
    Vertex goal_;
    std::uint64_t* expanded_;
};

struct BoostMap {
    Graph graph;
    std::vector<Vertex> pred;
    std::vector<int> dist, cost;
    std::vector<boost::default_color_type> color;
};

BoostMap& GetBoostMap(Map& m) {
    static std::map<std::int32_t, std::unique_ptr<BoostMap>> maps;
    auto& slot = maps[m.n];
    if (slot) return *slot;
    const std::int32_t n = m.n;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
    std::vector<int> weights;
    static const int kDx[8] = {1, 0, -1, 0, 1, -1, -1, 1};
    static const int kDy[8] = {0, 1, 0, -1, 1, 1, -1, -1};
    for (std::int32_t y = 0; y < n; ++y) {
        for (std::int32_t x = 0; x < n; ++x) {
            if (m.blocked[static_cast<std::size_t>(y) * n + x]) continue;
            for (int k = 0; k < 8; ++k) {
                const std::int32_t nx = x + kDx[k], ny = y + kDy[k];
                if (nx < 0 || ny < 0 || nx >= n || ny >= n || m.blocked[static_cast<std::size_t>(ny) * n + nx]) continue;
                edges.emplace_back(static_cast<std::uint32_t>(y * n + x), static_cast<std::uint32_t>(ny * n + nx));
                weights.push_back(k < 4 ? 100 : 140);
            }
        }
    }
    slot = std::make_unique<BoostMap>();
    BoostMap& b = *slot;
    b.graph = Graph(boost::edges_are_sorted, edges.begin(), edges.end(), weights.begin(),
                    static_cast<std::uint32_t>(n) * static_cast<std::uint32_t>(n));
    const std::size_t v = boost::num_vertices(b.graph);
    b.pred.resize(v);
    b.dist.resize(v);
    b.cost.resize(v);
    b.color.resize(v);
    return b;
}

void BM_BoostAStar(benchmark::State& state) {
    Map& m = GetMap(static_cast<std::int32_t>(state.range(0)));
    BoostMap& b = GetBoostMap(m);
    auto index = boost::get(boost::vertex_index, b.graph);
    auto pred = boost::make_iterator_property_map(b.pred.begin(), index);
    auto dist = boost::make_iterator_property_map(b.dist.begin(), index);
    auto cost = boost::make_iterator_property_map(b.cost.begin(), index);
    auto color = boost::make_iterator_property_map(b.color.begin(), index);
    auto weight = boost::get(boost::edge_bundle, b.graph);
    std::uint64_t expanded = 0;
    std::size_t i = 0;
    std::int64_t queries = 0;
    for (auto _ : state) {
        const auto [s, g] = m.pairs[i++ % m.pairs.size()];
        try {
            boost::astar_search(b.graph, static_cast<Vertex>(s), Estimate(m.n, static_cast<Vertex>(g)),
                                GoalVisitor(static_cast<Vertex>(g), &expanded), pred, cost, dist, weight, index, color,
                                std::less<int>(), boost::closed_plus<int>(), std::numeric_limits<int>::max(), 0);
        } catch (const FoundGoal&) {
        }
        benchmark::DoNotOptimize(b.pred.data());
        ++queries;
    }
    state.counters["queries"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
    state.counters["expansions"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BoostAStar)->Name("PathFindFree.ref")->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
