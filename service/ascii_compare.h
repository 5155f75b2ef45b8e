#pragma once
// Letter-case-blind comparison of two texts, as the runtime's _stricmp does in the "C"
// locale (only A-Z fold); both builds get the same answer.

namespace qm::svc {

inline bool EqualsIgnoringCase(const char* a, const char* b) {
  auto fold = [](char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
  };
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (fold(*a) != fold(*b)) return false;
  }
  return *a == *b;
}

}  // namespace qm::svc
