#include "runner/core/command_line.h"

#include <algorithm>

namespace qm::runner {

namespace {

bool HasBlank(std::string_view text) {
  return text.find_first_of(" \t") != std::string_view::npos;
}

bool IsQuoted(std::string_view text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

}  // namespace

std::string_view UnquotedRunfile(std::string_view runfile) {
  return IsQuoted(runfile) ? runfile.substr(1, runfile.size() - 2) : runfile;
}

std::string ComposeCommandLine(std::string_view runfile, std::string_view arguments) {
  std::string strLine;
  strLine.reserve(runfile.size() + arguments.size() + 3);
  if (HasBlank(runfile) && !IsQuoted(runfile)) {
    strLine += '"';
    strLine += runfile;
    strLine += '"';
  } else {
    strLine += runfile;
  }
  if (!arguments.empty()) {
    strLine += ' ';
    strLine += arguments;
  }
  return strLine;
}

std::string ChooseWorkingDirectory(std::string_view runfile, std::string_view directory) {
  if (!directory.empty()) return std::string(directory);
  std::string_view file = UnquotedRunfile(runfile);
  std::string_view::size_type slash = file.find_last_of("\\/");
  if (slash == std::string_view::npos) {
    // "C:prog.exe" names the current folder of drive C:, which a service cannot rely on.
    return {};
  }
  std::string_view folder = file.substr(0, slash);
  // "C:\\prog.exe" and "\\prog.exe" live in a root, which keeps its separator.
  if (folder.empty() || (folder.size() == 2 && folder[1] == ':'))
    folder = file.substr(0, slash + 1);
  return std::string(folder);
}

CommandParts SplitCommandLine(std::string_view commandLine) {
  const std::size_t nStart = commandLine.find_first_not_of(" \t");
  if (nStart == std::string_view::npos) return {};
  commandLine.remove_prefix(nStart);
  std::size_t nEnd = 0;
  CommandParts parts;
  if (commandLine.front() == '"') {
    const std::size_t nClose = commandLine.find('"', 1);
    nEnd = nClose == std::string_view::npos ? commandLine.size() : nClose + 1;
    parts.strProgram =
        commandLine.substr(1, (nClose == std::string_view::npos ? nEnd : nClose) - 1);
  } else {
    nEnd = std::min(commandLine.find_first_of(" \t"), commandLine.size());
    parts.strProgram = commandLine.substr(0, nEnd);
  }
  const std::size_t nRest = commandLine.find_first_not_of(" \t", nEnd);
  if (nRest != std::string_view::npos) parts.strArguments = commandLine.substr(nRest);
  return parts;
}

std::string PathFrom(std::string_view folder, std::string_view path) {
  const bool bAbsolute = (!path.empty() && (path[0] == '\\' || path[0] == '/')) ||
                         (path.size() >= 2 && path[1] == ':');
  if (bAbsolute || folder.empty()) return std::string(path);
  std::string strPath(folder);
  if (strPath.back() != '\\' && strPath.back() != '/') strPath += '\\';
  strPath += path;
  return strPath;
}

}  // namespace qm::runner
