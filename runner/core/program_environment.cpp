#include "runner/core/program_environment.h"

#include <algorithm>
#include <cstring>

namespace qm::runner {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The name of a "NAME=value" string; the '=' that starts a hidden name is part of it.
std::string_view NameOf(std::string_view variable) {
  std::size_t equals = variable.find('=', 1);
  return variable.substr(0, equals == std::string_view::npos ? variable.size() : equals);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Upper(x) == Upper(y); });
}

EnvironmentVariables::const_iterator Find(const EnvironmentVariables& variables,
                                          std::string_view name) {
  return std::find_if(variables.begin(), variables.end(),
                      [name](const std::string& v) { return SameName(NameOf(v), name); });
}

}  // namespace

EnvironmentVariables ParseEnvironmentBlock(const char* pBlock) {
  EnvironmentVariables variables;
  if (!pBlock) return variables;
  while (*pBlock != '\0') {
    std::size_t length = std::strlen(pBlock);
    variables.emplace_back(pBlock, length);
    pBlock += length + 1;
  }
  return variables;
}

std::string ExpandVariables(std::string_view text, const EnvironmentVariables& variables) {
  std::string strResult;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t open = text.find('%', pos);
    if (open == std::string_view::npos) break;
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    strResult.append(text.substr(pos, open - pos));
    std::string_view name = text.substr(open + 1, close - open - 1);
    auto it = name.empty() ? variables.end() : Find(variables, name);
    if (it != variables.end()) {
      strResult.append(*it, NameOf(*it).size() + 1);
      pos = close + 1;
    } else {
      // Not a variable: the first '%' stays, and the second may open the next name.
      strResult += '%';
      pos = open + 1;
      strResult.append(text.substr(pos, close - pos));
      pos = close;
    }
  }
  strResult.append(text.substr(pos));
  return strResult;
}

void ApplyEnvironmentEntries(EnvironmentVariables& variables,
                             const std::vector<std::string>& entries) {
  for (const std::string& strEntry : entries) {
    std::size_t equals = strEntry.find('=');
    if (equals == std::string::npos || equals == 0) continue;  // refused before
    std::string_view name(strEntry.data(), equals);
    std::string strValue =
        ExpandVariables(std::string_view(strEntry).substr(equals + 1), variables);
    auto it = Find(variables, name);
    if (strValue.empty()) {
      if (it != variables.end()) variables.erase(it);
      continue;
    }
    std::string strVariable = std::string(name) + '=' + strValue;
    if (it != variables.end()) {
      variables[static_cast<std::size_t>(it - variables.begin())] = std::move(strVariable);
    } else {
      variables.push_back(std::move(strVariable));
    }
  }
}

std::string ComposeEnvironmentBlock(EnvironmentVariables variables) {
  std::stable_sort(
      variables.begin(), variables.end(), [](const std::string& a, const std::string& b) {
        std::string_view na = NameOf(a);
        std::string_view nb = NameOf(b);
        return std::lexicographical_compare(na.begin(), na.end(), nb.begin(), nb.end(),
                                            [](char x, char y) { return Upper(x) < Upper(y); });
      });
  std::string strBlock;
  for (const std::string& strVariable : variables) {
    strBlock += strVariable;
    strBlock += '\0';
  }
  // An empty block still needs its two NULs.
  if (variables.empty()) strBlock += '\0';
  strBlock += '\0';
  return strBlock;
}

}  // namespace qm::runner
