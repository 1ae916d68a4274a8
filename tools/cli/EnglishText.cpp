#include "tools/cli/EnglishText.h"
#include "lang/TextTable.h"

namespace cli {

QString EnglishText(int slot)
{
    static const TextTable table = [] {
        TextTable t;
        t.SelectLanguage(TextTable::kEnglish);
        return t;
    }();
    return table.text(slot);
}

}  // namespace cli
