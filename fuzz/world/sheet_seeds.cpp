// Seeds of sheet_fuzz: each line form of the writer, and a sheet whose texture line carries
// blanks and a cut-off length.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "tests/support/world/SheetFileWriter.h"
#include "world/fx/SheetFile.h"

bool WriteSeeds() {
    using quor::test::SheetLineForm;
    quor::test::SheetFileDesc odd;
    odd.columns = "8";
    odd.rows = "6";
    odd.third = "2.5";
    odd.fourth = "3";
    odd.texture = "fx/a b.dds  ";
    odd.length = "1e3";
    const struct {
        const char* name;
        quor::test::SheetFileDesc desc;
        SheetLineForm form;
    } seeds[] = {
        {"crlf.spr", {}, SheetLineForm::kCrLf},
        {"lf.ems", {}, SheetLineForm::kLf},
        {"lines.spr", {}, SheetLineForm::kOneNumberPerLine},
        {"odd.spr", odd, SheetLineForm::kNoFinalLineEnd},
    };
    bool allParse = true;
    for (const auto& s : seeds) {
        const std::string text = quor::test::WriteSheetFile(s.desc, s.form);
        quor::world::SheetFile sheet;
        if (!quor::world::ParseSheetText(text.data(), text.size(), sheet)) {
            std::fprintf(stderr, "sheet seed %s does not parse\n", s.name);
            allParse = false;
        }
        quor::seeds::Seed(s.name, text);
    }
    return allParse;
}
