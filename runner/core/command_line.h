#pragma once
// How the runner turns the Runfile, Arguments and Directory values into what it hands to
// process creation.

#include <string>
#include <string_view>

namespace qm::runner {

// The Runfile, quoted when it holds a blank or tab (and is not quoted already), then a blank
// and the Arguments verbatim when there are any.
std::string ComposeCommandLine(std::string_view runfile, std::string_view arguments);

// Directory when it is set; otherwise the folder that holds the Runfile ("C:\\" for a file in
// a drive's root). Empty when neither names a folder, i.e. the runner's own current directory.
std::string ChooseWorkingDirectory(std::string_view runfile, std::string_view directory);

// The Runfile without surrounding quotes, as a file name for the file system.
std::string_view UnquotedRunfile(std::string_view runfile);

// A command line's program (its first word, or its quoted first part, without the quotes) and
// the rest after the blanks that follow it: how an exec: check's command line is started.
struct CommandParts {
  std::string strProgram;
  std::string strArguments;
};
CommandParts SplitCommandLine(std::string_view commandLine);

// path as it is when it is absolute ("C:\x", "\\server\share\x", "\x"), else from
// folder ("app.pid" in "C:\App" is "C:\App\app.pid"); as it is when folder is empty.
std::string PathFrom(std::string_view folder, std::string_view path);

}  // namespace qm::runner
