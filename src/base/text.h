#pragma once
// Cutting UTF-8 text to a byte limit without splitting a character.

#include <cstddef>
#include <string_view>

namespace tavrin::base {

// The length of the longest start of `text` that is at most `maxBytes` long
// and ends on a character boundary.
inline std::size_t Utf8CutLength(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t length = maxBytes;
  // Step back over continuation bytes so a multi-byte character is never split.
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}

}  // namespace tavrin::base
