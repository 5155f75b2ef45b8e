#pragma once
// Letter-case-blind comparison of texts, with only A-Z folded: as the runtime's _stricmp does
// in the "C" locale and as the registry and the Service Control Manager match names, whatever
// the user's locale. Both builds give the same answer.

#include <cstddef>
#include <string_view>

namespace qm {

constexpr char FoldAsciiCase(char ch) {
  return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Orders texts as std::string does after folding; equal under it exactly when
// EqualsIgnoringCase says so.
constexpr bool LessIgnoringCase(std::string_view a, std::string_view b) {
  const std::size_t cch = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < cch; ++i) {
    const auto chA = static_cast<unsigned char>(FoldAsciiCase(a[i]));
    const auto chB = static_cast<unsigned char>(FoldAsciiCase(b[i]));
    if (chA != chB) return chA < chB;
  }
  return a.size() < b.size();
}

// For ordered containers keyed by names that compare without regard to letter case.
struct CaseBlindLess {
  constexpr bool operator()(std::string_view a, std::string_view b) const {
    return LessIgnoringCase(a, b);
  }
};

}  // namespace qm
