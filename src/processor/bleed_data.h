// The measured low-speed bleed curves (bleed setting k = clicks + 1) read from the bleed data
// file in the current folder, and a cache that keeps them while that file is unchanged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "processor/globals.h"

namespace quorin {

inline constexpr const char* kBleedDataFile = "quorin_bleed_2004_v1";

// The bleed curves of the file by setting k: velocity bleedvel(k).data, force
// bleedforce(k).data.
struct BleedData {
  std::vector<MeasuredCurve> settings;  // settings[k - 1]; as many as both tables hold
  // The curve of setting k; nullptr when the file has no entry k.
  const MeasuredCurve* setting(double k) const;

  // bleed(c.velocity, c.force, whole_newtons).xspline, where `whole_newtons` is 0, 1, ..., N.
  // For a curve of `settings` the result is kept, keyed by setting and N: every PLOT asks for
  // the reference bleed and one or two more at the few N the valving entries reach, and
  // these are the dearest resamplings of the synthesis. For any other curve the result is
  // good until the next call. Throws as `bleed` does.
  const std::vector<double>& bleed_velocity(const MeasuredCurve& c,
                                            std::span<const double> whole_newtons) const;

 private:
  mutable std::map<std::pair<std::size_t, std::size_t>, std::vector<double>> kept_;
  mutable std::vector<double> scratch_;  // the result for a curve that is not one of `settings`
};

// Reads the bleed data file in `folder`. Throws RuntimeError naming the file when it is
// missing or does not hold the two record arrays with the row field data.
BleedData read_bleed_data(const std::filesystem::path& folder);

// Keeps the last bleed data read and reads the file again only when its path, size or
// modification time differ from the last read.
class BleedCache {
 public:
  const BleedData& get(const std::filesystem::path& folder);

 private:
  std::filesystem::path path_;
  std::uintmax_t size_ = 0;
  std::filesystem::file_time_type mtime_{};
  std::unique_ptr<BleedData> data_;
};

}  // namespace quorin
