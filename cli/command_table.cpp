#include "cli/command_table.h"

#include "cli/commands.h"

namespace qm::cli {

namespace {

using P = ParsedCommand;

constexpr ArgumentEntry kName[] = {Required("<name>", "a service name", &P::strName)};
constexpr ArgumentEntry kInstallArguments[] = {Required("<name>", "a service name", &P::strName),
                                               Required("<program>", "a program", &P::strProgram),
                                               Rest("[<arguments>...]", nullptr)};
constexpr ArgumentEntry kSetArguments[] = {Required("<name>", "a service name", &P::strName),
                                           Required("<setting>", "a setting", &P::strSetting),
                                           Rest("<data...>", "its data")};
constexpr ArgumentEntry kGetArguments[] = {Required("<name>", "a service name", &P::strName),
                                           Optional("[<setting>]", &P::strSetting)};
constexpr ArgumentEntry kResetArguments[] = {Required("<name>", "a service name", &P::strName),
                                             Required("<setting>", "a setting", &P::strSetting)};
constexpr ArgumentEntry kHelpArguments[] = {Optional("[<command>]", &P::strTopic)};
constexpr ArgumentEntry kExportArguments[] = {Rest("[<name>...]", nullptr)};
constexpr ArgumentEntry kApplyArguments[] = {Required("<file>", "a file", &P::strFile)};

constexpr OptionEntry kInstallOptions[] = {TextOption("--display-name", "T", &P::displayName),
                                           ChoiceOption("--startup", "auto|manual", &P::startup),
                                           TextOption("--depend", "A;B", &P::dependencies),
                                           TextOption("--dir", "D", &P::directory)};
constexpr OptionEntry kRemoveOptions[] = {FlagOption("--force", &P::bForce)};
// With --quoted the data is one argument, its quotes removed: Arguments that begin or end
// with blanks, which a typed line cannot keep (dump writes them so).
// --password-stdin and --no-grant are for a user's or managed account (set Account).
constexpr OptionEntry kSetOptions[] = {OneArgumentOption("--quoted"),
                                       FlagOption("--password-stdin", &P::bPasswordStdin),
                                       FlagOption("--no-grant", &P::bNoGrant)};
constexpr OptionEntry kWaitOptions[] = {SecondsOption("--timeout", "S", &P::timeoutSeconds),
                                        FlagOption("--no-wait", &P::bNoWait)};
// status has nothing to wait for, but has always taken start's options.
constexpr OptionEntry kStatusOptions[] = {FlagOption("--json", &P::bJson),
                                          SecondsOption("--timeout", "S", &P::timeoutSeconds, true),
                                          FlagOption("--no-wait", &P::bNoWait, true)};
constexpr OptionEntry kJsonOptions[] = {FlagOption("--json", &P::bJson)};
constexpr OptionEntry kExportOptions[] = {FlagOption("--all", &P::bAll)};
constexpr OptionEntry kApplyOptions[] = {
    FlagOption("--check", &P::bCheck), FlagOption("--restart", &P::bRestart),
    FlagOption("--force", &P::bForce), FlagOption("--json", &P::bJson)};

constexpr const char* kInstallHelp =
    "  Installs <program> as the service <name>, run by carrack.exe. Options come first, and\n"
    "  -- ends them; everything after <program> is passed to it exactly as typed. The display\n"
    "  name is <name> unless given; startup is auto unless given. A program that does not\n"
    "  exist now is installed with a warning.";

constexpr CommandEntry kCommands[] = {
    {.pszName = "install",
     .pfnRun = RunInstall,
     .bNeedsAdministrator = true,
     .arguments = kInstallArguments,
     .options = kInstallOptions,
     .pszHelp = kInstallHelp},
    {.pszName = "remove",
     .pfnRun = RunRemove,
     .bNeedsAdministrator = true,
     .arguments = kName,
     .options = kRemoveOptions,
     .pszHelp =
         "  Stops the service (waiting a bounded time) and deletes it. A service that Quillmont\n"
         "  did not install, or that is disabled, is removed only with --force."},
    {.pszName = "set",
     .pfnRun = RunSet,
     .bNeedsAdministrator = true,
     .arguments = kSetArguments,
     .options = kSetOptions,
     .bUnknownOptionIsArgument = true,
     .bListsSettings = true,
     .pszHelp =
         "  Changes one setting of a service installed by Quillmont, checked first. Arguments\n"
         "  are taken as typed; with --quoted the data is one quoted argument, taken whole\n"
         "  (arguments that begin or end with blanks).\n"
         "  Account: a user's account takes its password from the first line of standard input\n"
         "  with --password-stdin, or asks for it at the console without showing it; typed after\n"
         "  the account it works too, but every user of the machine can read a command line. A\n"
         "  user's or managed account is given \"Log on as a service\" unless --no-grant."},
    {.pszName = "get",
     .pfnRun = RunGet,
     .arguments = kGetArguments,
     .options = kJsonOptions,
     .bListsSettings = true,
     .pszHelp = "  Prints one setting, or every setting with its value. With --json: one object,\n"
                "  Name and the settings named and typed as in apply's file, defaults included."},
    {.pszName = "reset",
     .pfnRun = RunReset,
     .bNeedsAdministrator = true,
     .arguments = kResetArguments,
     .bListsSettings = true,
     .pszHelp = "  Puts a setting back to its default (a runner value is deleted)."},
    {.pszName = "start",
     .pfnRun = RunStart,
     .bNeedsAdministrator = true,
     .arguments = kName,
     .options = kWaitOptions,
     .pszHelp =
         "  Starts the service and waits until it runs: 30 s unless given; with a ReadyCheck,\n"
         "  until its program is ready (ReadyTimeout, plus StopTimeout and 5 s)."},
    {.pszName = "stop",
     .pfnRun = RunStop,
     .bNeedsAdministrator = true,
     .arguments = kName,
     .options = kWaitOptions,
     .pszHelp = "  Stops the service and waits until it has stopped."},
    {.pszName = "restart",
     .pfnRun = RunRestart,
     .bNeedsAdministrator = true,
     .arguments = kName,
     .options = kWaitOptions,
     .pszHelp = "  Stops, then starts."},
    {.pszName = "status",
     .pfnRun = RunStatus,
     .arguments = kName,
     .options = kStatusOptions,
     .pszHelp =
         "  Prints the state and the runner's view: the program running (its process, since\n"
         "  when, its health check), what its start waits for, or waiting to be restarted\n"
         "  (why, when the next start is due, how many restarts in a row), or the exit code\n"
         "  it stopped with.\n"
         "  Exit code: 0 running (the program runs, or the runner does not say), 3 stopped,\n"
         "  4 starting, stopping or paused, 5 running but the program waits to be restarted\n"
         "  or is not ready again yet, 6 running but its health check fails, 1 failure.\n"
         "  With --json: one object (Name, State, ProgramState, ProcessId, Since, LastExitCode,\n"
         "  RestartsInRow, NextStart, Ready, Health; times in UTC), the same exit codes."},
    {.pszName = "list",
     .pfnRun = RunList,
     .options = kJsonOptions,
     .pszHelp = "  Lists the services installed by Quillmont with state and program. With --json:\n"
                "  an array of status's objects, each with its Runfile."},
    {.pszName = "dump",
     .pfnRun = RunDump,
     .arguments = kName,
     .pszHelp = "  Prints the commands (a cmd script) that recreate the service and its settings."},
    {.pszName = "export",
     .pfnRun = RunExport,
     .arguments = kExportArguments,
     .options = kExportOptions,
     .pszHelp =
         "  Prints the services (--all: every one Quillmont installed) as a file for apply:\n"
         "  JSON, each service's settings that are not at their default, Name, Runfile and\n"
         "  Startup always, keys in a fixed order. A user account's password is not in it:\n"
         "  \"AccountPasswordFrom\": \"env:NAME\" names the variable apply takes it from."},
    {.pszName = "apply",
     .pfnRun = RunApply,
     .bNeedsAdministrator = true,
     .arguments = kApplyArguments,
     .options = kApplyOptions,
     .pszHelp =
         "  Makes each service the file names as the file says: creates it as install does,\n"
         "  changes only the values that differ, puts the settings its entry leaves out back to\n"
         "  their default, and removes an entry marked \"Ensure\": \"absent\" (one Quillmont did\n"
         "  not install, or a disabled one, only with --force). Services the file does not name\n"
         "  are left alone. The whole file is checked before anything is changed. One line a\n"
         "  change; --check changes nothing and tells what would change; --restart restarts a\n"
         "  running service whose settings changed; --json prints the changes as JSON.\n"
         "  Exit code: 0 nothing to change, 8 changed (with --check: would change), 1 failure,\n"
         "  2 usage."},
    {.pszName = "rotate",
     .pfnRun = RunRotate,
     .bNeedsAdministrator = true,
     .arguments = kName,
     .pszHelp = "  Asks the runner to rotate its output files now. Without RotateBytes or\n"
                "  RotateDaily (or Timestamps, or an output: check) the program writes its\n"
                "  files itself and there is nothing to rotate: exit code 1."},
    {.pszName = "help",
     .pfnRun = RunHelp,
     .arguments = kHelpArguments,
     .pszHelp = "  Shows this text, or one command's."},
};

constexpr CommandEntry kVersion = {.pszName = "--version", .pfnRun = RunVersion};

}  // namespace

std::span<const CommandEntry> Commands() {
  return kCommands;
}

const CommandEntry* FindCommand(std::string_view word) {
  for (const CommandEntry& command : kCommands) {
    if (word == command.pszName) return &command;
  }
  return nullptr;
}

const CommandEntry* FindSwitch(std::string_view word) {
  if (word == "--help" || word == "-h" || word == "/?") return FindCommand("help");
  if (word == "--version") return &kVersion;
  return nullptr;
}

}  // namespace qm::cli
