#include "cli/usage.h"

#include "cli/command_table.h"
#include "cli/settings.h"

namespace qm::cli {

namespace {

// "remove <name> [--force]"; a command that takes its options first shows them first.
std::string Synopsis(const CommandEntry& command) {
  std::string strOptions;
  for (const OptionEntry& option : command.options) {
    if (option.bHidden) continue;
    strOptions += std::string(" [") + option.pszName;
    if (option.pszValue != nullptr) strOptions += std::string(" ") + option.pszValue;
    strOptions += "]";
  }
  std::string strArguments;
  for (const ArgumentEntry& argument : command.arguments) {
    strArguments += std::string(" ") + argument.pszUsage;
  }
  return command.pszName +
         (TakesOptionsFirst(command) ? strOptions + strArguments : strArguments + strOptions);
}

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
      "  NetworkService, NT SERVICE\\<name>, a managed DOMAIN\\name$ (no password), or a user.\n"
      "  Recovery: what the service manager does when the service fails (the runner gives up\n"
      "  or cannot start the program): none, or restart/MS, run/MS, reboot/MS or none, one a\n"
      "  failure in a row, the last repeated (restart/60000,restart/60000,none).\n"
      "  RecoveryReset: seconds without a failure after which the count starts again.\n"
      "  ReadyCheck, HealthCheck: tcp:[HOST:]PORT, http://HOST:PORT/PATH, https://...,\n"
      "  file:PATH, pipe:NAME, output:TEXT, notify; HealthCheck also exec:COMMAND LINE.";
  return strText;
}

}  // namespace

std::string ShortUsage() {
  return "Usage: quillmnt <command> ... (quillmnt help lists the commands)";
}

std::string FullUsage() {
  std::string strText = "Usage: quillmnt <command> ...\n\nCommands:\n";
  for (const CommandEntry& command : Commands())
    strText += "  quillmnt " + Synopsis(command) + "\n";
  strText += "  quillmnt --help | --version\n\n" + SettingsText() +
             "\n\nExit codes: 0 success, 1 failure, 2 usage error; status and apply say theirs\n"
             "(apply: 0 nothing to change, 8 changed). Started without arguments, quillmnt.exe\n"
             "opens the window.";
  return strText;
}

std::string CommandUsage(const CommandEntry& command) {
  std::string strText = "Usage: quillmnt " + Synopsis(command) + "\n" + command.pszHelp;
  if (command.bListsSettings) strText += "\n" + SettingsText();
  return strText;
}

}  // namespace qm::cli
