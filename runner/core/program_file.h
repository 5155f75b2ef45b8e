#pragma once
// Where the runner finds the program a Runfile names, and how it starts a batch file.

#include <string>
#include <string_view>
#include <vector>

namespace qm::runner {

// A Runfile without a folder or drive ("java.exe", "node"): looked up on the search path.
bool IsBareFileName(std::string_view runfile);

// The full paths a bare Runfile may stand for, in the order of the search path (the PATH
// variable's value). Only absolute folders count: a relative entry (".", "bin", "\\tools")
// would make the program depend on the runner's current folder. A name without an extension
// gets ".exe", as process creation gives it.
std::vector<std::string> SearchPathCandidates(std::string_view runfile, std::string_view path);

// A .bat or .cmd file, which the command interpreter runs.
bool IsBatchFile(std::string_view file);

// The command line that has the interpreter run a batch file with its arguments. /d keeps
// the interpreter's AutoRun commands out; /s /c runs everything between the outer quotes as
// written.
std::string ComposeBatchCommandLine(std::string_view interpreter, std::string_view batchFile,
                                    std::string_view arguments);

}  // namespace qm::runner
