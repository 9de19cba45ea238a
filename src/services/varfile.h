// Variable files: the one container for the supplied data and for damper files
// (a JSON document of named values; see docs/file-formats.md).
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "services/value.h"

namespace quorin {

using NamedValues = std::vector<std::pair<std::string, Value>>;

// The file a variable-file name denotes: a bare name gains ".mat".
std::filesystem::path varfile_path(const std::filesystem::path& name);

// Reads the variables named in `wanted` that the file holds, in the file's order. Variables of
// other names are skipped. Throws RuntimeError naming the file and what is wrong when it
// cannot be read or is malformed.
NamedValues load_variables(const std::filesystem::path& name, const std::vector<std::string>& wanted);
// Every variable of the file.
NamedValues load_all_variables(const std::filesystem::path& name);

// Writes the variables in order, replacing the file whole: written beside it, then renamed,
// so a failed save leaves the previous file untouched. Throws RuntimeError on failure.
void save_variables(const std::filesystem::path& name, const NamedValues& vars);

// The value encoding shared by the files and the script driver.
nlohmann::ordered_json to_json(const Value& v);
Value from_json(const nlohmann::ordered_json& j);  // throws RuntimeError on a malformed value
// Parses one value from JSON text (used by the script driver). Throws RuntimeError.
Value parse_value(const std::string& json_text);
std::string dump_value(const Value& v);

}  // namespace quorin
