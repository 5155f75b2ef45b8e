#pragma once
// JSON as the command line reads and writes it, through nlohmann/json: objects keep their keys
// in the order they were put in (a file's keys come out in a stable order, so that a diff
// shows only real changes), and every text goes out as ASCII, non-ASCII characters escaped, so
// that no console, code page or redirection on the way can alter it.

#include <string>

#include <nlohmann/json.hpp>

#include "cli/json_fwd.h"

namespace qm::cli {

// The document as text: indented two blanks a level (bPretty), or on one line.
std::string JsonText(const Json& json, bool bPretty);

}  // namespace qm::cli
