#pragma once
#include <cstdint>

#include "platform/win32/Interlocked.h"

namespace quor::common {

// An immutable text whose body is shared between copies. Bodies cross threads (loader
// threads hand names back), so the count moves only by interlocked operations and the
// thread that drops it to zero frees the body.
class SharedString {
public:
    class StringData {
    public:
        explicit StringData(const char* text);
        StringData(const char* text, std::int32_t length);
        virtual ~StringData();
        StringData(const StringData&) = delete;
        StringData& operator=(const StringData&) = delete;

        char* text = nullptr;  // null for an empty string
        std::int32_t length = 0;
        win32::InterlockedLong refCount{1};
    };

    SharedString();
    SharedString(const char* text);  // NOLINT: converts like the text it holds
    SharedString(const SharedString& other);
    SharedString& operator=(const SharedString& other);
    virtual ~SharedString();

    // Replaces the text with the printf-style result, however long it is.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Never null: "" for an empty string.
    const char* c_str() const { return m_data->text ? m_data->text : ""; }
    // Null for an empty string.
    const char* Text() const { return m_data->text; }
    std::int32_t Length() const { return m_data->length; }
    bool Empty() const { return m_data->length == 0; }
    std::int32_t RefCount() const { return m_data->refCount.load(); }
    bool SharesBodyWith(const SharedString& other) const { return m_data == other.m_data; }

    // Bodies alive in the process, so tests can see that none leaks or is freed twice.
    static int LiveBodies();

private:
    static StringData* NewBody(const char* text, std::int32_t length);
    void Release();

    StringData* m_data;
};

}  // namespace quor::common
