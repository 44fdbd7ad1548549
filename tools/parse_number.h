// Strict parsing of whole numbers in options and file headers: decimal digits only, no sign, no
// spaces, no trailing text, nothing above the given bound (so nothing can wrap).
#pragma once

#include <cstdint>
#include <string_view>

inline bool ParseWholeNumber(std::string_view text, uint64_t high, uint64_t* value) {
  if (text.empty()) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
    if (v > high) return false;
  }
  *value = v;
  return true;
}

inline bool ParseWholeNumber(std::string_view text, uint32_t low, uint32_t high, uint32_t* value) {
  uint64_t v = 0;
  if (!ParseWholeNumber(text, high, &v) || v < low) return false;
  *value = uint32_t(v);
  return true;
}

// "N<separator>D" (or "N" alone when D may be left out, then D = 1), each from 1 to 2^32 - 1.
inline bool ParseRatio(std::string_view text, char separator, bool denominatorOptional,
                       uint32_t* num, uint32_t* den) {
  const size_t at = text.find(separator);
  if (at == std::string_view::npos && !denominatorOptional) return false;
  *den = 1;
  return ParseWholeNumber(text.substr(0, at), 1, 0xFFFFFFFFu, num) &&
         (at == std::string_view::npos ||
          ParseWholeNumber(text.substr(at + 1), 1, 0xFFFFFFFFu, den));
}
