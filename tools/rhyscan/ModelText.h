#pragma once
#include <string_view>

// The tree model compiled into the program (model/beat-trees.txt, turned
// into a C++ array at build time), so that the installed analyser needs no
// data file of its own.
namespace rhy {
std::string_view BuiltInModelText();
}
