#include "tests/support/world/CommaLocale.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>

namespace quor::test {

namespace {
bool TryLocale(const char* name) {
    if (!std::setlocale(LC_NUMERIC, name)) return false;
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%.1f", 1.5);
    if (std::string(buf) == "1,5") return true;
    std::setlocale(LC_NUMERIC, "C");
    return false;
}
}  // namespace

CommaLocale::CommaLocale() {
    m_previous = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
        if (TryLocale(name)) {
            m_active = true;
            break;
        }
    }
    if (!m_active) {
        // Build one next to the test binaries from the system's locale sources.
        const std::string dir = std::string(QUOR_BINARY_DIR) + "/locale";
        const std::string target = dir + "/de_DE.UTF-8";
        if (!std::filesystem::exists(target)) {
            std::filesystem::create_directories(dir);
            const std::string cmd = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
            if (std::system(cmd.c_str()) != 0) std::filesystem::remove_all(target);
        }
        ::setenv("LOCPATH", dir.c_str(), 1);
        m_active = TryLocale("de_DE.UTF-8");
        ::unsetenv("LOCPATH");
    }
    if (!m_active) m_why = "no comma-decimal locale (the package 'locales' provides its sources)";
}

CommaLocale::~CommaLocale() { std::setlocale(LC_NUMERIC, m_previous.c_str()); }

}  // namespace quor::test
