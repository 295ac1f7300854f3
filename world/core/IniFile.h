#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quor {

// Small text files of [sections] and key=value lines. Read through the host's resource
// file system, written with the C runtime. Section and key names compare without regard
// to ASCII case.
class IniFile {
public:
    explicit IniFile(std::string path);
    ~IniFile();

    // False (with no sections) when the file cannot be opened.
    bool Load();
    // False when the file cannot be created. The unnamed section's pairs come first,
    // without a header, so that Load reads them back where they were.
    bool Save();

    bool HasSection(const char* section) const;
    bool HasKey(const char* section, const char* key) const;
    const char* GetString(const char* section, const char* key, const char* defaultText) const;
    int GetInt(const char* section, const char* key, int defaultValue) const;
    float GetFloat(const char* section, const char* key, float defaultValue) const;
    void SetString(const char* section, const char* key, const char* text);
    void SetInt(const char* section, const char* key, int value);
    void SetFloat(const char* section, const char* key, float value);

    struct Pair {
        std::string key;
        std::uint32_t keyHash;
        std::string value;
    };
    struct Section {
        std::string name;
        std::uint32_t nameHash;
        std::vector<Pair> pairs;
    };
    const std::vector<Section>& Sections() const { return m_sections; }
    const std::string& Path() const { return m_path; }

    // h := h x 5 + lower(c) over the bytes, lower touching only "A"-"Z".
    static std::uint32_t NameHash(const char* text, std::size_t length);

private:
    void ParseBuffer(const char* data, std::size_t size);
    Section* FindSection(const char* name, std::size_t length);
    const Section* FindSection(const char* name) const;
    const Pair* FindPair(const char* section, const char* key) const;
    Section& SectionFor(const char* name, std::size_t length);

    std::string m_path;
    std::vector<Section> m_sections;
};

}  // namespace quor
