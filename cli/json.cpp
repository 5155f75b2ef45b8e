#include "cli/json.h"

namespace qm::cli {

std::string JsonText(const Json& json, bool bPretty) {
  // Every text put in is converted to UTF-8 first; a byte that still is none would stand as a
  // replacement character rather than end the command.
  return json.dump(bPretty ? 2 : -1, ' ', true, Json::error_handler_t::replace);
}

}  // namespace qm::cli
