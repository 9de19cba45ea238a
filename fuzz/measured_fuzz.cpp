// libFuzzer entry for the run and logger file readers and the working through of a run: any
// text either reads or ends with a run-time error, never with a crash, a leak or undefined
// behaviour; every number read is finite, every run's time rises, and what the runs give is
// finite too.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "measured/processing.h"
#include "measured/run_file.h"
#include "measured/track.h"
#include "services/runtime_error.h"

namespace {

void check_finite(const std::vector<double>& v) {
  for (double x : v)
    if (!std::isfinite(x)) std::abort();
}

void check_runs(const quorin::measured::RunFile& f) {
  for (const auto& r : f.runs) {
    check_finite(r.time_s);
    check_finite(r.displacement_m);
    check_finite(r.force_n);
    for (std::size_t k = 1; k < r.time_s.size(); ++k)
      if (!(r.time_s[k] > r.time_s[k - 1])) std::abort();
    if (r.displacement_m.size() != r.time_s.size() || r.force_n.size() != r.time_s.size())
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using namespace quorin::measured;
  try {
    const Layout layout = read_layout(text);
    try {
      const RunFile f = read_runs(text, layout, "fuzz.csv");
      check_runs(f);
      try {
        const Processed p = process(f);
        if (!std::isfinite(p.gas_force_n) || !std::isfinite(p.friction_n)) std::abort();
        const ExtractedCurve c = extracted_curve(p, true, true);
        check_finite(c.velocity);
      } catch (const quorin::RuntimeError&) {
      }
    } catch (const quorin::RuntimeError&) {
    }
    try {
      const TrackFile t = read_track(text, layout, "fuzz.csv");
      for (const CornerHistogram& h : track_histograms(t))
        for (double p : h.compression_percent)
          if (!(p >= 0) || p > 100 + 1e-6) std::abort();
    } catch (const quorin::RuntimeError&) {
    }
  } catch (const quorin::RuntimeError&) {
  }
  return 0;
}
