#pragma once
// The JSON type of the command line (cli/json.h) for headers that only name it.

#include <nlohmann/json_fwd.hpp>

namespace qm::cli {

using Json = nlohmann::ordered_json;

}  // namespace qm::cli
