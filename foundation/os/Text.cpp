#include "foundation/os/Text.h"

#include <algorithm>

std::string ia5Text(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; }, '?');
  return text;
}
