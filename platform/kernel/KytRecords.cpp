#include "platform/kernel/KytRecords.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/kernel/KytColor.h"

KytMaterial* KytColor::matarray = nullptr;
unsigned KytColor::uArraySize = 0;
bool KytCustomColor::bEnableVisible = false;
unsigned KytDRAnnotateData::uiBalloonCounter = 1;

namespace {
std::vector<KytMaterial>& Table()
{
    static std::vector<KytMaterial> t;
    return t;
}
quor::wgl::LOGFONTA& DefaultFont()
{
    static quor::wgl::LOGFONTA f = [] {
        quor::wgl::LOGFONTA l{};
        l.lfHeight = -12;
        l.lfWeight = 400;
        std::strcpy(l.lfFaceName, "Sans");
        return l;
    }();
    return f;
}
std::vector<std::unique_ptr<KytPropertyTableRec>>& Properties()
{
    static std::vector<std::unique_ptr<KytPropertyTableRec>> p;
    return p;
}
}  // namespace

void KytColor::SetTable(const std::vector<KytMaterial>& table)
{
    Table() = table;
    matarray = Table().empty() ? nullptr : Table().data();
    uArraySize = static_cast<unsigned>(Table().size());
}

void KytAnnotateData::GetFontTitle(quor::wgl::LOGFONTA& out) const
{
    out = bOwnFont ? font : DefaultFont();
}

void KytAnnotateData::SetDefaultFont(const quor::wgl::LOGFONTA& f) { DefaultFont() = f; }
const quor::wgl::LOGFONTA& KytAnnotateData::GetDefaultFont() { return DefaultFont(); }

KytPropertyTableRec* KytPropertyTableLink::SearchPropertyTableRec(const char* property)
{
    if (!property)
        return nullptr;
    for (auto& rec : Properties())
        if (rec->name == property)
            return rec.get();
    return nullptr;
}

void KytPropertyTableLink::AddPropertyTableRec(const char* property, int type)
{
    if (KytPropertyTableRec* r = SearchPropertyTableRec(property)) {
        r->nType = type;
        return;
    }
    auto rec = std::make_unique<KytPropertyTableRec>();
    rec->name = property;
    rec->nType = type;
    Properties().push_back(std::move(rec));
}

void KytPropertyTableLink::Clear() { Properties().clear(); }
