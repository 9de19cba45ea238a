// libFuzzer entry for the dyno file reader: any bytes either read into a record or end with a
// run-time error, never with a crash, a leak or undefined behaviour; read from a file on disk
// (in pieces) they give exactly what they give in memory.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "dyno/loadshock.h"
#include "same_value.h"
#include "scratch.h"
#include "services/dialogs.h"
#include "services/runtime_error.h"

namespace {

// No channel can hold more samples than the file has room for.
void check_samples_fit(const quorin::Value& v, std::size_t size) {
  if (v.is_record()) {
    for (const auto& name : v.field_names()) check_samples_fit(v.field(name), size);
  } else if (v.is_numeric() && v.numel() > size / 4 + 1) {
    std::abort();
  }
}

// What one reading gave: the record, or the error and the console text.
struct Outcome {
  std::optional<quorin::Value> shock;
  std::string error, console;
};

bool same(const Outcome& a, const Outcome& b) {
  return a.error == b.error && a.console == b.console &&
         a.shock.has_value() == b.shock.has_value() &&
         (!a.shock || quorin::fuzz::same_value(*a.shock, *b.shock));
}

template <class Read>
Outcome outcome(Read read) {
  Outcome o;
  std::ostringstream console;
  try {
    o.shock = read(console);
  } catch (const quorin::RuntimeError& e) {
    o.error = e.what();
  }
  o.console = console.str();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string folder = quorin::fuzz::scratch_root("dyno_fuzz").string() + "/";
  const Outcome memory = outcome([&](std::ostream& console) {
    return quorin::read_dyno({data, size}, console, "fuzz.pvp", folder);
  });
  if (memory.shock) {
    if (!memory.console.empty()) std::abort();  // the console line comes only with the error
    check_samples_fit(*memory.shock, size);
  } else if (!memory.console.empty() &&
             memory.console !=
                 "unkown data type in file.  Data read from file is probably corrupt\n") {
    std::abort();
  }
  // The same bytes as a file the user picks, read from the disk in pieces.
  quorin::fuzz::write_file(folder + "fuzz.pvp", data, size);
  const Outcome disk = outcome([&](std::ostream& console) {
    quorin::ScriptedDialogs dialogs;
    dialogs.push({false, "fuzz.pvp", folder});
    return quorin::loadshock(dialogs, console, std::nullopt).ShockData;
  });
  if (!same(disk, memory)) std::abort();
  return 0;
}
