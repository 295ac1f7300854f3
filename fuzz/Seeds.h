#pragma once
// What every <name>_seeds program shares: main checks the one argument (the corpus directory)
// and calls WriteSeeds, which writes each seed with Seed(); the program fails when a seed could
// not be written or WriteSeeds answers false (a seed that does not load).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quor::seeds {

inline std::string g_dir;
inline bool g_ok = true;

inline void Seed(const std::string& name, const void* data, std::size_t size) {
    const std::string path = g_dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size)) {
        std::fprintf(stderr, "cannot write seed %s\n", path.c_str());
        g_ok = false;
    }
    if (f) std::fclose(f);
}
inline void Seed(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    Seed(name, bytes.data(), bytes.size());
}
inline void Seed(const std::string& name, std::string_view text) { Seed(name, text.data(), text.size()); }

}  // namespace quor::seeds

// Defined by each seeds program.
bool WriteSeeds();

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    quor::seeds::g_dir = argv[1];
    const bool loaded = WriteSeeds();
    return loaded && quor::seeds::g_ok ? 0 : 1;
}
