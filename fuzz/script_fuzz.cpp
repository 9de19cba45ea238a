// libFuzzer entry for the script driver: the fuzz bytes are a script, run line by line through
// ScriptDriver::run_line of a fresh driver over a scratch copy of the start folder (a `start`
// line starts the program there, with its windows, so later lines reach every verb and every
// program function with JSON inputs). Every line either prints one JSON object holding "ok",
// "error", "value" or "outputs", or is refused as not being a driver command; no failure other
// than a run-time error reaches the command boundary.
//
// File dialogs may be answered only with a scratch folder, so a script cannot make the
// program write anywhere else: the folder of `dialog open|save FOLDER FILE` and of
// `start FOLDER` is replaced by the scratch folder and slashes in the file name by '_'.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>

#include "scratch.h"
#include "app/script_driver.h"

namespace {

constexpr std::size_t kMaxLines = 48;
constexpr std::string_view kUnexpected = "The action was abandoned after an unexpected failure";
constexpr std::string_view kOutOfMemory = "Out of memory";

bool space(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Splits off the first blank-separated word of `rest`.
std::string_view word(std::string_view& rest) {
  while (!rest.empty() && space(rest.front())) rest.remove_prefix(1);
  std::size_t n = 0;
  while (n < rest.size() && !space(rest[n])) ++n;
  const std::string_view w = rest.substr(0, n);
  rest.remove_prefix(n);
  while (!rest.empty() && space(rest.front())) rest.remove_prefix(1);
  return w;
}

std::string without_slashes(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '/' || c == '\0') c = '_';
  return out;
}

// The line with every folder it names replaced by `folder`.
std::string confined(std::string_view line, const std::string& folder) {
  std::string_view rest = line;
  const std::string_view verb = word(rest);
  if (verb == "start" && !rest.empty()) return "start " + folder + "/" + without_slashes(rest);
  if (verb != "dialog") return std::string(line);
  const std::string_view kind = word(rest);
  if (kind != "open" && kind != "save") return std::string(line);
  const std::string_view named = word(rest);
  if (named.empty()) return std::string(line);
  std::string out = "dialog " + std::string(kind) + " " + folder;
  if (!rest.empty()) out += " " + without_slashes(rest);
  return out;
}

// One JSON object with exactly one of the driver's answers, none of them a hidden failure.
void check_answer(const std::string& line) {
  const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
  if (j.is_discarded() || !j.is_object() || j.size() != 1) std::abort();
  const auto first = j.begin();
  const std::string key = first.key();
  const nlohmann::json& value = first.value();
  if (key == "error") {
    if (!value.is_string()) std::abort();
    const std::string m = value.get<std::string>();
    if (m.rfind(kUnexpected, 0) == 0 || m.rfind(kOutOfMemory, 0) == 0) std::abort();
  } else if (key != "ok" && key != "value" && key != "outputs") {
    std::abort();
  }
}

struct Folders {
  Folders() : start(quorin::fuzz::start_folder_copy("script_fuzz", QUORIN_SUPPLIED)) {}
  std::filesystem::path start;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Folders folders;
  // Each script starts from the same files: no dialog folder content, nothing in data/ but an
  // empty export file (no session kept by an earlier script).
  const std::string files = quorin::fuzz::fresh_folder("script_fuzz", "files").string();
  for (const auto& e : std::filesystem::directory_iterator(folders.start / "data"))
    if (e.path().filename() != "export.txt") std::filesystem::remove_all(e.path());
  std::filesystem::resize_file(folders.start / "data" / "export.txt", 0);

  std::ostringstream console;
  quorin::ScriptDriver driver(folders.start, console);
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  std::size_t from = 0, lines = 0;
  while (from <= script.size() && lines++ < kMaxLines) {
    std::size_t end = script.find('\n', from);
    if (end == std::string_view::npos) end = script.size();
    const std::string line = confined(script.substr(from, end - from), files);
    from = end + 1;
    try {
      if (const auto answer = driver.run_line(line)) check_answer(*answer);
    } catch (const quorin::ScriptSyntaxError&) {
      break;  // the driver ends the script at a line that is not a command
    }
  }
  return 0;
}
