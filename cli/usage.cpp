#include "cli/usage.h"

#include "cli/settings.h"

namespace qm::cli {

namespace {

struct CommandHelp {
  Verb verb;
  const char* pszSynopsis;
  const char* pszText;
};

constexpr CommandHelp kHelp[] = {
    {Verb::kInstall,
     "install [--display-name T] [--startup auto|manual] [--depend A;B] [--dir D] <name> "
     "<program> [<arguments>...]",
     "  Installs <program> as the service <name>, run by carrack.exe. Options come first, and\n"
     "  -- ends them; everything after <program> is passed to it exactly as typed. The display\n"
     "  name is <name> unless given; startup is auto unless given. A program that does not\n"
     "  exist now is installed with a warning."},
    {Verb::kRemove, "remove <name> [--force]",
     "  Stops the service (waiting a bounded time) and deletes it. A service that Quillmont\n"
     "  did not install, or that is disabled, is removed only with --force."},
    {Verb::kSet, "set [--quoted] <name> <setting> <data...>",
     "  Changes one setting of a service installed by Quillmont, checked first. Arguments\n"
     "  are taken as typed; with --quoted the data is one quoted argument, taken whole\n"
     "  (arguments that begin or end with blanks)."},
    {Verb::kGet, "get <name> [<setting>]",
     "  Prints one setting, or every setting with its value."},
    {Verb::kReset, "reset <name> <setting>",
     "  Puts a setting back to its default (a runner value is deleted)."},
    {Verb::kStart, "start <name> [--timeout S] [--no-wait]",
     "  Starts the service and waits (30 s unless given) until it runs."},
    {Verb::kStop, "stop <name> [--timeout S] [--no-wait]",
     "  Stops the service and waits until it has stopped."},
    {Verb::kRestart, "restart <name> [--timeout S] [--no-wait]", "  Stops, then starts."},
    {Verb::kStatus, "status <name>",
     "  Prints the state and the runner's view: the program running (its process and\n"
     "  since when), or waiting to be restarted (its exit code, when the next start is\n"
     "  due, how many restarts in a row), or the exit code it stopped with.\n"
     "  Exit code: 0 running (the program runs, or the runner does not say), 3 stopped,\n"
     "  4 starting, stopping or paused, 5 running but the program waits to be restarted,\n"
     "  1 failure."},
    {Verb::kList, "list", "  Lists the services installed by Quillmont with state and program."},
    {Verb::kDump, "dump <name>",
     "  Prints the commands (a cmd script) that recreate the service and its settings."},
    {Verb::kRotate, "rotate <name>", "  Asks the runner to rotate its output files now."},
    {Verb::kHelp, "help [<command>]", "  Shows this text, or one command's."},
};

std::string SettingsText() {
  std::string strText = "Settings:";
  std::size_t cchLine = strText.size();
  for (const Setting& setting : AllSettings()) {
    const std::string strName = setting.pszName;
    if (cchLine + strName.size() + 1 > 90) {
      strText += "\n ";
      cchLine = 1;
    }
    strText += " " + strName;
    cchLine += strName.size() + 1;
  }
  strText +=
      "\n  Startup: auto, delayed-auto, manual, disabled. Account: LocalSystem, LocalService,\n"
      "  NetworkService, NT SERVICE\\<name>, or a user followed by its password.";
  return strText;
}

}  // namespace

std::string ShortUsage() {
  return "Usage: quillmnt <command> ... (quillmnt help lists the commands)";
}

std::string FullUsage() {
  std::string strText = "Usage: quillmnt <command> ...\n\nCommands:\n";
  for (const CommandHelp& help : kHelp)
    strText += std::string("  quillmnt ") + help.pszSynopsis + "\n";
  strText += "  quillmnt --help | --version\n\n" + SettingsText() +
             "\n\nExit codes: 0 success, 1 failure, 2 usage error. Started without arguments,\n"
             "quillmnt.exe opens the window.";
  return strText;
}

std::string CommandUsage(Verb verb) {
  for (const CommandHelp& help : kHelp) {
    if (help.verb != verb) continue;
    std::string strText = std::string("Usage: quillmnt ") + help.pszSynopsis + "\n" + help.pszText;
    if (verb == Verb::kSet || verb == Verb::kGet || verb == Verb::kReset) {
      strText += "\n" + SettingsText();
    }
    return strText;
  }
  return FullUsage();
}

}  // namespace qm::cli
