#include "world/core/IniFile.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/host/IResFileSystem.h"
#include "platform/win32/Directory.h"
#include "world/core/InterfaceTable.h"
#include "world/core/TextNumber.h"

namespace quor {

namespace {

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const char* b, std::size_t length) {
    if (a.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Trims spaces and tabs at both ends of [begin, end).
void Trim(const char*& begin, const char*& end) {
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
}

}  // namespace

IniFile::IniFile(std::string path) : m_path(std::move(path)) {}

IniFile::~IniFile() = default;

std::uint32_t IniFile::NameHash(const char* text, std::size_t length) {
    std::uint32_t h = 0;
    for (std::size_t i = 0; i < length; ++i) h = h * 5u + Lower(static_cast<unsigned char>(text[i]));
    return h;
}

IniFile::Section* IniFile::FindSection(const char* name, std::size_t length) {
    const std::uint32_t hash = NameHash(name, length);
    for (Section& s : m_sections)
        if (s.nameHash == hash && EqualsNoCase(s.name, name, length)) return &s;
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(const char* name) const {
    if (!name) name = "";
    const std::size_t length = std::strlen(name);
    const std::uint32_t hash = NameHash(name, length);
    for (const Section& s : m_sections)
        if (s.nameHash == hash && EqualsNoCase(s.name, name, length)) return &s;
    return nullptr;
}

IniFile::Section& IniFile::SectionFor(const char* name, std::size_t length) {
    if (Section* s = FindSection(name, length)) return *s;
    m_sections.push_back({std::string(name, length), NameHash(name, length), {}});
    return m_sections.back();
}

const IniFile::Pair* IniFile::FindPair(const char* section, const char* key) const {
    const Section* s = FindSection(section);
    if (!s || !key) return nullptr;
    const std::size_t length = std::strlen(key);
    const std::uint32_t hash = NameHash(key, length);
    for (const Pair& p : s->pairs)
        if (p.keyHash == hash && EqualsNoCase(p.key, key, length)) return &p;
    return nullptr;
}

bool IniFile::Load() {
    m_sections.clear();
    common::IResFileSystem* files = Interfaces().resFileSystem;
    if (!files) return false;
    common::IResFile* file = files->OpenFile(m_path.c_str(), 0);
    if (!file) return false;
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = file->GetSize();
    std::string buffer;
    buffer.reserve(static_cast<std::size_t>(size) + 2);
    if (data && size) buffer.assign(reinterpret_cast<const char*>(data), size);
    file->Close();
    buffer += "\r\n";
    ParseBuffer(buffer.data(), buffer.size());
    return true;
}

void IniFile::ParseBuffer(const char* data, std::size_t size) {
    Section* current = nullptr;
    const char* const end = data + size;
    const char* p = data;
    while (p < end) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
        const char* b = p;
        const char* e = lineEnd;
        p = lineEnd < end ? lineEnd + 1 : end;
        Trim(b, e);
        const std::size_t length = static_cast<std::size_t>(e - b);
        if (length < 2) continue;
        if (length >= 3 && b[0] == '[' && e[-1] == ']') {
            current = &SectionFor(b + 1, length - 2);
            continue;
        }
        if ((b[0] == '/' && b[1] == '/') || b[0] == ';') continue;
        if (b[0] == '=') continue;
        if (!current) current = &SectionFor("", 0);
        const char* eq = static_cast<const char*>(std::memchr(b, '=', length));
        const char* keyEnd = eq ? eq : e;
        const char* kb = b;
        Trim(kb, keyEnd);
        std::string value;
        if (eq) {
            const char* vb = eq + 1;
            const char* ve = e;
            Trim(vb, ve);
            value.assign(vb, ve);
        }
        current->pairs.push_back({std::string(kb, keyEnd), NameHash(kb, static_cast<std::size_t>(keyEnd - kb)),
                                  std::move(value)});
    }
}

bool IniFile::Save() {
    // Written where Load reads it: the resource file system's full path of the name.
    common::IResFileSystem* files = Interfaces().resFileSystem;
    char fullPath[1024];
    if (!files || !files->MakeFullPath(m_path.c_str(), fullPath, sizeof(fullPath))) return false;
    std::FILE* f = std::fopen(win32::ToHostPath(fullPath).c_str(), "wb");
    if (!f) return false;
    auto writePairs = [f](const Section& s) {
        for (const Pair& p : s.pairs) std::fprintf(f, "%s=%s\r\n", p.key.c_str(), p.value.c_str());
    };
    // A "[]" header would read back as a key; the unnamed pairs go first, bare.
    for (const Section& s : m_sections) {
        if (!s.name.empty()) continue;
        writePairs(s);
        std::fputs("\r\n", f);
    }
    for (const Section& s : m_sections) {
        if (s.name.empty()) continue;
        std::fprintf(f, "[%s]\r\n", s.name.c_str());
        writePairs(s);
        std::fputs("\r\n", f);
    }
    const bool ok = !std::ferror(f);
    return std::fclose(f) == 0 && ok;
}

bool IniFile::HasSection(const char* section) const { return FindSection(section) != nullptr; }

bool IniFile::HasKey(const char* section, const char* key) const { return FindPair(section, key) != nullptr; }

const char* IniFile::GetString(const char* section, const char* key, const char* defaultText) const {
    const Pair* p = FindPair(section, key);
    return p ? p->value.c_str() : defaultText;
}

int IniFile::GetInt(const char* section, const char* key, int defaultValue) const {
    const Pair* p = FindPair(section, key);
    return p ? TextToInt(p->value.c_str()) : defaultValue;
}

float IniFile::GetFloat(const char* section, const char* key, float defaultValue) const {
    const Pair* p = FindPair(section, key);
    return p ? static_cast<float>(TextToDouble(p->value.c_str())) : defaultValue;
}

void IniFile::SetString(const char* section, const char* key, const char* text) {
    if (!section) section = "";
    if (!key) return;
    Section& s = SectionFor(section, std::strlen(section));
    const std::size_t length = std::strlen(key);
    const std::uint32_t hash = NameHash(key, length);
    for (Pair& p : s.pairs) {
        if (p.keyHash == hash && EqualsNoCase(p.key, key, length)) {
            p.value = text ? text : "";
            return;
        }
    }
    s.pairs.push_back({key, hash, text ? text : ""});
}

void IniFile::SetInt(const char* section, const char* key, int value) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof(text) - 1, value);
    (void)ec;
    *end = '\0';
    SetString(section, key, text);
}

void IniFile::SetFloat(const char* section, const char* key, float value) {
    // "%f" without the process locale's decimal mark.
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof(text) - 1, static_cast<double>(value),
                                   std::chars_format::fixed, 6);
    if (ec != std::errc()) end = text;
    *end = '\0';
    SetString(section, key, text);
}

}  // namespace quor
