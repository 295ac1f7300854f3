#include "world/core/SharedString.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace quor::common {

namespace {
std::atomic<int> g_liveBodies{0};
}

SharedString::StringData::StringData(const char* t)
    : StringData(t, t ? static_cast<std::int32_t>(std::strlen(t)) : 0) {}

SharedString::StringData::StringData(const char* t, std::int32_t n) {
    g_liveBodies.fetch_add(1);
    if (t && n > 0) {
        text = new char[static_cast<std::size_t>(n) + 1];
        std::memcpy(text, t, static_cast<std::size_t>(n));
        text[n] = '\0';
        length = n;
    }
}

SharedString::StringData::~StringData() {
    delete[] text;
    g_liveBodies.fetch_sub(1);
}

int SharedString::LiveBodies() { return g_liveBodies.load(); }

SharedString::SharedString() : m_data(new StringData(nullptr)) {}

SharedString::SharedString(const char* text) : m_data(new StringData(text)) {}

SharedString::SharedString(const SharedString& other) : m_data(other.m_data) {
    win32::InterlockedIncrement(&m_data->refCount);
}

SharedString& SharedString::operator=(const SharedString& other) {
    if (m_data == other.m_data) return *this;
    // Take the new body first, so self-sharing chains can never free it in between.
    win32::InterlockedIncrement(&other.m_data->refCount);
    Release();
    m_data = other.m_data;
    return *this;
}

SharedString::~SharedString() { Release(); }

void SharedString::Release() {
    if (win32::InterlockedDecrement(&m_data->refCount) == 0) delete m_data;
    m_data = nullptr;
}

void SharedString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[1024];
    const int n = format ? std::vsnprintf(small, sizeof(small), format, args) : 0;
    va_end(args);
    StringData* body;
    if (n <= 0) {
        body = new StringData(nullptr);
    } else if (static_cast<std::size_t>(n) < sizeof(small)) {
        body = new StringData(small, n);
    } else {
        // Longer results get a buffer of their own size rather than being dropped.
        char* big = new char[static_cast<std::size_t>(n) + 1];
        std::vsnprintf(big, static_cast<std::size_t>(n) + 1, format, again);
        body = new StringData(big, n);
        delete[] big;
    }
    va_end(again);
    Release();
    m_data = body;
}

}  // namespace quor::common
