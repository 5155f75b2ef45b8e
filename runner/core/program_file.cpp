#include "runner/core/program_file.h"

#include "runner/core/command_line.h"

namespace qm::runner {

namespace {

char Lower(char ch) {
  return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (Lower(text[i]) != suffix[i]) return false;
  }
  return true;
}

// "C:\\x" or "C:/x", and "\\\\server\\share": not relative to any current folder or drive.
bool IsAbsoluteFolder(std::string_view folder) {
  if (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) {
    return true;
  }
  return folder.size() >= 3 && (folder[0] == '\\' || folder[0] == '/') &&
         (folder[1] == '\\' || folder[1] == '/');
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool IsBareFileName(std::string_view runfile) {
  return UnquotedRunfile(runfile).find_first_of("\\/:") == std::string_view::npos;
}

std::vector<std::string> SearchPathCandidates(std::string_view runfile, std::string_view path) {
  std::string strName(UnquotedRunfile(runfile));
  if (strName.find('.') == std::string::npos) strName += ".exe";
  std::vector<std::string> candidates;
  while (!path.empty()) {
    std::string_view::size_type semicolon = path.find(';');
    std::string_view entry = Trimmed(path.substr(0, semicolon));
    path = semicolon == std::string_view::npos ? std::string_view() : path.substr(semicolon + 1);
    if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"') {
      entry = entry.substr(1, entry.size() - 2);
    }
    if (!IsAbsoluteFolder(entry)) continue;
    std::string strCandidate(entry);
    if (strCandidate.back() != '\\' && strCandidate.back() != '/') strCandidate += '\\';
    candidates.push_back(strCandidate + strName);
  }
  return candidates;
}

bool IsBatchFile(std::string_view file) {
  file = UnquotedRunfile(file);
  return EndsWithNoCase(file, ".bat") || EndsWithNoCase(file, ".cmd");
}

std::string ComposeBatchCommandLine(std::string_view interpreter, std::string_view batchFile,
                                    std::string_view arguments) {
  // The file is quoted whatever its name holds: to the interpreter a bare & or ( in it would
  // be a command of its own.
  std::string strLine = "\"";
  strLine += interpreter;
  strLine += "\" /d /s /c \"\"";
  strLine += UnquotedRunfile(batchFile);
  strLine += '"';
  if (!arguments.empty()) {
    strLine += ' ';
    strLine += arguments;
  }
  strLine += '"';
  return strLine;
}

}  // namespace qm::runner
