#pragma once
#include <string>

namespace quor::test {

// Switches LC_NUMERIC (C and C++) to a locale whose decimal mark is a comma for the
// life of the object. When no such locale can be found or made, Active() is false and
// Why() says what is missing.
class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool Active() const { return m_active; }
    const std::string& Why() const { return m_why; }

private:
    bool m_active = false;
    std::string m_previous;
    std::string m_why;
};

}  // namespace quor::test
