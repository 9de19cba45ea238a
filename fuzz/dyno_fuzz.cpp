// libFuzzer entry for the dyno file reader: any bytes either read into a record or end with a
// run-time error, never with a crash, a leak or undefined behaviour.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "dyno/loadshock.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ostringstream console;
  try {
    const quorin::Value shock = quorin::read_dyno({data, size}, console, "fuzz.pvp", "/fuzz/");
    if (!console.str().empty()) std::abort();  // the console line comes only with the error
    check_samples_fit(shock, size);
  } catch (const quorin::RuntimeError&) {
    const std::string out = console.str();
    if (!out.empty() && out != "unkown data type in file.  Data read from file is probably corrupt\n")
      std::abort();
  }
  return 0;
}
