#include "platform/host/AsyncLoader.h"

#include <algorithm>
#include <chrono>

#include "platform/host/AsyncData.h"

namespace quor::host {

AsyncLoader::AsyncLoader(int threads) : m_inline(threads <= 0) {
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this] { Worker(); });
}

AsyncLoader::~AsyncLoader() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads) t.join();
    std::deque<AsyncData*> left;
    std::vector<AsyncData*> polling;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        left.swap(m_queue);
        polling.swap(m_polling);
    }
    for (AsyncData* record : left) record->Recycle();
    for (AsyncData* record : polling) record->Recycle();
}

void AsyncLoader::Submit(AsyncData* record) {
    if (!record) return;
    ++m_submitted;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(record);
    }
    m_wake.notify_one();
}

std::uint32_t AsyncLoader::GetRequestStamp() { return ++m_stamp; }

bool AsyncLoader::RunningRefersTo(const void* owner) {
    for (AsyncData* record : m_running)
        if (record->RefersTo(owner)) return true;
    return false;
}

void AsyncLoader::CancelOwner(const void* owner) {
    std::vector<AsyncData*> cancelled;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if ((*it)->RefersTo(owner)) {
            cancelled.push_back(*it);
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_polling.begin(); it != m_polling.end();) {
        if ((*it)->RefersTo(owner)) {
            cancelled.push_back(*it);
            it = m_polling.erase(it);
        } else {
            ++it;
        }
    }
    m_changed.wait(lock, [&] { return !RunningRefersTo(owner); });
    lock.unlock();
    for (AsyncData* record : cancelled) {
        record->Recycle();
        ++m_cancelled;
    }
}

void AsyncLoader::Run(AsyncData* record, bool pollForever) {
    record->Load();
    if (pollForever) {
        while (record->IsPending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void AsyncLoader::Worker() {
    for (;;) {
        AsyncData* record = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_stop) return;
            record = m_queue.front();
            m_queue.pop_front();
            m_running.push_back(record);
        }
        Run(record, true);
        // Off the running list before it is given back: a cancel must never ask a recycled
        // record whom it refers to.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_running.erase(std::find(m_running.begin(), m_running.end(), record));
            ++m_finishing;
        }
        m_changed.notify_all();
        record->Recycle();
        ++m_recycled;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_finishing;
        }
        m_changed.notify_all();
    }
}

int AsyncLoader::Drain() {
    if (!m_inline) return 0;
    int recycled = 0;
    for (;;) {
        AsyncData* record = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.empty()) break;
            record = m_queue.front();
            m_queue.pop_front();
            m_running.push_back(record);
        }
        Run(record, false);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_running.erase(std::find(m_running.begin(), m_running.end(), record));
            m_polling.push_back(record);
        }
    }
    std::vector<AsyncData*> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_polling.begin(); it != m_polling.end();) {
            if ((*it)->IsPending() > 0) {
                ++it;
            } else {
                done.push_back(*it);
                it = m_polling.erase(it);
            }
        }
    }
    for (AsyncData* record : done) {
        record->Recycle();
        ++m_recycled;
        ++recycled;
    }
    m_changed.notify_all();
    return recycled;
}

void AsyncLoader::WaitIdle() {
    if (m_inline) {
        Drain();
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    // Workers notify m_changed after each record; poll lightly in case the last one ended
    // between the check and the wait.
    while (!m_queue.empty() || !m_running.empty() || m_finishing > 0)
        m_changed.wait_for(lock, std::chrono::milliseconds(5));
}

}  // namespace quor::host
