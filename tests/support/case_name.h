// Readable, stable names for the rows of a parameterised test table: the row's description
// with everything but letters and digits turned into underscores.
#pragma once

#include <string>

template <typename Info>
std::string CaseName(const Info& info) {
  std::string name = info.param.what;
  for (char& c : name) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!keep) c = '_';
  }
  return name;
}
