#pragma once
#include <QString>

namespace cli {

// A message of the text table in English, as the command line prints it.
QString EnglishText(int slot);

}  // namespace cli
