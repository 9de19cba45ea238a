#include "processor/bleed_data.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "processor/resample.h"
#include "services/runtime_error.h"
#include "services/varfile.h"

namespace quorin {
namespace {

std::vector<std::vector<double>> rows_of(const Value& v, const std::string& name,
                                         const std::filesystem::path& file) {
  if (!v.is_record() || !v.has_field("data"))
    throw RuntimeError("The bleed data file " + file.string() + " holds no record array " + name +
                       " with the field data.");
  std::vector<std::vector<double>> out;
  out.reserve(v.numel());
  for (std::size_t k = 1; k <= v.numel(); ++k) {
    const Value& d = v.field_of(k, "data");
    if (!d.is_numeric())
      throw RuntimeError("The bleed data entry " + name + "(" + std::to_string(k) +
                         ").data is not a row of numbers.");
    out.push_back(d.numbers());
  }
  return out;
}

}  // namespace

const MeasuredCurve* BleedData::setting(double k) const {
  if (!(k >= 1) || k != std::floor(k) || k > static_cast<double>(settings.size())) return nullptr;
  return &settings[static_cast<std::size_t>(k) - 1];
}

const std::vector<double>& BleedData::bleed_velocity(const MeasuredCurve& c,
                                                     std::span<const double> whole_newtons) const {
  // Dozens of settings at a handful of grid lengths; a bound all the same.
  constexpr std::size_t kMostKept = 64;
  const bool ours =
      !settings.empty() && &c >= settings.data() && &c < settings.data() + settings.size();
  if (!ours) {
    scratch_ = bleed(c.velocity, c.force, whole_newtons).xspline;
    return scratch_;
  }
  const auto key =
      std::make_pair(static_cast<std::size_t>(&c - settings.data()), whole_newtons.size());
  if (auto it = kept_.find(key); it != kept_.end()) return it->second;
  std::vector<double> v = bleed(c.velocity, c.force, whole_newtons).xspline;
  if (kept_.size() >= kMostKept) kept_.clear();
  return kept_.emplace(key, std::move(v)).first->second;
}

BleedData read_bleed_data(const std::filesystem::path& folder) {
  const std::filesystem::path file = varfile_path(folder / kBleedDataFile);
  const NamedValues vars = load_variables(file, {"bleedvel", "bleedforce"});
  const Value* vel = nullptr;
  const Value* force = nullptr;
  for (const auto& [name, value] : vars) {
    if (name == "bleedvel") vel = &value;
    if (name == "bleedforce") force = &value;
  }
  if (!vel || !force)
    throw RuntimeError("The bleed data file " + file.string() +
                       " does not hold both bleedvel and bleedforce.");
  auto velocities = rows_of(*vel, "bleedvel", file);
  auto forces = rows_of(*force, "bleedforce", file);
  BleedData data;
  const std::size_t n = std::min(velocities.size(), forces.size());
  data.settings.reserve(n);
  for (std::size_t k = 0; k < n; ++k)
    data.settings.push_back({std::move(velocities[k]), std::move(forces[k])});
  return data;
}

const BleedData& BleedCache::get(const std::filesystem::path& folder) {
  const std::filesystem::path file = varfile_path(folder / kBleedDataFile);
  std::error_code size_error, time_error;
  const std::uintmax_t size = std::filesystem::file_size(file, size_error);
  const auto mtime = std::filesystem::last_write_time(file, time_error);
  const bool known = !size_error && !time_error;
  if (data_ && known && file == path_ && size == size_ && mtime == mtime_) return *data_;
  // A missing or unreadable file is reported by the reader, and nothing stale is kept.
  data_.reset();
  data_ = std::make_unique<BleedData>(read_bleed_data(folder));
  // Without the file's size and time the data are used once and read again next time.
  path_ = known ? file : std::filesystem::path();
  size_ = size;
  mtime_ = mtime;
  return *data_;
}

}  // namespace quorin
