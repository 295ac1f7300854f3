#include "tests/support/world/SheetFileWriter.h"

namespace quor::test {

std::string WriteSheetFile(const SheetFileDesc& d, SheetLineForm form) {
    const std::string nl = form == SheetLineForm::kCrLf ? "\r\n" : "\n";
    const std::string gap = form == SheetLineForm::kOneNumberPerLine ? nl : " ";
    std::string text = d.columns + gap + d.rows + gap + d.third + gap + d.fourth + nl;
    text += d.texture + nl;
    text += d.length + gap + d.loop;
    if (form != SheetLineForm::kNoFinalLineEnd) text += nl;
    return text;
}

}  // namespace quor::test
