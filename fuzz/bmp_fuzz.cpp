// libFuzzer entry for the bitmap reader: any bytes either decode into a picture whose size
// the file can account for, or end with a run-time error; never a crash, a leak, undefined
// behaviour or an allocation beyond what the file holds.
#include <cstdint>
#include <cstdlib>

#include "annotation/bmp.h"
#include "services/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const quorin::annotation::Picture p = quorin::annotation::decode_bmp({data, size});
    if (p.data.size() != p.height * p.width * p.channels) std::abort();
    // Every pixel takes at least one bit of the file.
    if (p.height * p.width > 8 * size) std::abort();
    for (double v : p.data)
      if (!(v >= 0 && v <= 255)) std::abort();
    if (p.palette.size() > 256) std::abort();
    (void)quorin::annotation::to_value(p);
  } catch (const quorin::RuntimeError&) {
    // A damaged or unsupported file: refused with a message.
  }
  return 0;
}
