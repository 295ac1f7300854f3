#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace quor::win32 {

// What a recording stand-in keeps of what it was asked: the last Limit() records and the
// count of all of them, so a host that runs for many frames does not grow with its records.
// A limit of 0 switches recording off (the count still moves). Not locked: its owner locks.
template <class T>
class RecentRecords {
public:
    static constexpr std::size_t kDefaultLimit = 10000;

    void push_back(T record) {
        ++m_total;
        if (m_limit == 0) return;
        if (m_items.size() == m_limit) m_items.pop_front();
        m_items.push_back(std::move(record));
    }
    // The same, building the record only when it is kept: with recording off a call costs a
    // count, not a string.
    template <class... A>
    void emplace_back(A&&... args) {
        ++m_total;
        if (m_limit == 0) return;
        if (m_items.size() == m_limit) m_items.pop_front();
        m_items.emplace_back(std::forward<A>(args)...);
    }
    // Forgets the records and the count.
    void clear() {
        m_items.clear();
        m_total = 0;
    }
    void SetLimit(std::size_t limit) {
        m_limit = limit;
        while (m_items.size() > m_limit) m_items.pop_front();
    }
    std::size_t Limit() const { return m_limit; }
    // Records made since the last clear, kept or not.
    std::uint64_t Total() const { return m_total; }
    std::vector<T> Items() const { return std::vector<T>(m_items.begin(), m_items.end()); }
    const T& back() const { return m_items.back(); }
    bool empty() const { return m_items.empty(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::deque<T> m_items;
    std::size_t m_limit = kDefaultLimit;
    std::uint64_t m_total = 0;
};

}  // namespace quor::win32
