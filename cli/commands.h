#pragma once
// The commands of the table (cli/command_table.cpp), each in a file of its own
// (cli/<name>_command.cpp). Each carries out one parsed command over the context and returns
// its exit code (cli/exit_codes.h).

#include "cli/command_context.h"
#include "cli/parsed_command.h"

namespace qm::cli {

int RunInstall(CommandContext& context, const ParsedCommand& cmd);
int RunRemove(CommandContext& context, const ParsedCommand& cmd);
int RunSet(CommandContext& context, const ParsedCommand& cmd);
int RunGet(CommandContext& context, const ParsedCommand& cmd);
int RunReset(CommandContext& context, const ParsedCommand& cmd);
int RunStart(CommandContext& context, const ParsedCommand& cmd);
int RunStop(CommandContext& context, const ParsedCommand& cmd);
int RunRestart(CommandContext& context, const ParsedCommand& cmd);
int RunStatus(CommandContext& context, const ParsedCommand& cmd);
int RunList(CommandContext& context, const ParsedCommand& cmd);
int RunDump(CommandContext& context, const ParsedCommand& cmd);
int RunExport(CommandContext& context, const ParsedCommand& cmd);
int RunApply(CommandContext& context, const ParsedCommand& cmd);
int RunRotate(CommandContext& context, const ParsedCommand& cmd);
int RunHelp(CommandContext& context, const ParsedCommand& cmd);
int RunVersion(CommandContext& context, const ParsedCommand& cmd);

// stop's work for restart: it waits whatever --no-wait says, and says nothing unless it fails.
int StopBeforeRestart(CommandContext& context, const ParsedCommand& cmd);

// The line after each command of a dump's script: it ends the script when the command failed.
inline constexpr const char* kDumpStopLine = "@if errorlevel 1 exit /b 1";

}  // namespace qm::cli
