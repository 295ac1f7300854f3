#include "world/core/SharedString.h"
#include "world/core/Memory.h"

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
        text = NewArray<char>(static_cast<std::size_t>(n) + 1);
        if (!text) return;  // an empty text rather than none at all
        std::memcpy(text, t, static_cast<std::size_t>(n));
        text[n] = '\0';
        length = n;
    }
}

SharedString::StringData::~StringData() {
    delete[] text;
    g_liveBodies.fetch_sub(1);
}

// Every string holds a body, so there is no way to report a missing one.
SharedString::StringData* SharedString::NewBody(const char* text, std::int32_t length) {
    StringData* body = NewObject<StringData>(text, length);
    if (!body) OutOfMemory(sizeof(StringData));
    return body;
}

int SharedString::LiveBodies() { return g_liveBodies.load(); }

SharedString::SharedString() : m_data(NewBody(nullptr, 0)) {}

SharedString::SharedString(const char* text)
    : m_data(NewBody(text, text ? static_cast<std::int32_t>(std::strlen(text)) : 0)) {}

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
        body = NewBody(nullptr, 0);
    } else if (static_cast<std::size_t>(n) < sizeof(small)) {
        body = NewBody(small, n);
    } else {
        // Longer results get a buffer of their own size rather than being dropped.
        char* big = NewArray<char>(static_cast<std::size_t>(n) + 1);
        if (big) std::vsnprintf(big, static_cast<std::size_t>(n) + 1, format, again);
        body = NewBody(big, big ? n : 0);
        delete[] big;
    }
    va_end(again);
    Release();
    m_data = body;
}

}  // namespace quor::common
