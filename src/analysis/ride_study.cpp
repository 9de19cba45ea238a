#include "analysis/ride_study.h"

#include <cmath>
#include <limits>

#include "analysis/curve_points.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

std::string band_heading(std::string_view side, std::size_t b) {
  const auto& e = kVelocityBandEdgesMmps;
  std::string range = b == 0         ? "0-" + num2str(e[0])
                      : b < e.size() ? num2str(e[b - 1]) + "-" + num2str(e[b])
                                     : ">" + num2str(e.back());
  return std::string(side) + " " + range + " mm/s (%)";
}

std::string number_text(double v, int decimals) {
  if (std::isnan(v)) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

}  // namespace

RideCaseKind ride_case_named(std::string_view name) {
  for (RideCaseKind k : {RideCaseKind::Road, RideCaseKind::Kerb, RideCaseKind::Shaker})
    if (ride_case_name(k) == name) return k;
  throw RuntimeError("There is no ride case \"" + std::string(name) +
                     "\"; choose road, kerb or shaker.");
}

std::string_view ride_case_name(RideCaseKind k) {
  switch (k) {
    case RideCaseKind::Road:
      return "road";
    case RideCaseKind::Kerb:
      return "kerb";
    case RideCaseKind::Shaker:
      return "shaker";
  }
  return "road";
}

RoadProfile class_road(const RideCase& c) {
  if (!(c.speed_kmh > 0) || !std::isfinite(c.speed_kmh))
    throw RuntimeError("The speed (km/h) must be a number above 0, not " + num2str(c.speed_kmh) +
                       ".");
  if (!(c.road.duration_s > 0) || !std::isfinite(c.road.duration_s))
    throw RuntimeError("The road's duration (s) must be a number above 0, not " +
                       num2str(c.road.duration_s) + ".");
  return iso8608_road(c.road.road_class, c.speed_kmh / 3.6 * c.road.duration_s, c.road.seed);
}

RideStudy run_ride_study(const RideCase& c, const RoadProfile& road,
                         const std::vector<std::pair<int, std::string>>& names,
                         const std::vector<DamperLaw>& dampers) {
  check_quarter_car(c.car);
  RideStudy s;
  s.what = c;
  if (c.kind == RideCaseKind::Road) {
    if (c.road.file.empty())
      s.road_text = "class " + c.road.road_class + " road, " + num2str(c.road.duration_s) +
                    " s at " + num2str(c.speed_kmh) + " km/h, seed " + std::to_string(c.road.seed);
    else
      s.road_text = "road file " + c.road.file + " at " + num2str(c.speed_kmh) + " km/h";
  } else if (c.kind == RideCaseKind::Kerb) {
    check_kerb(c.kerb);
    s.road_text = "kerb " + num2str(c.kerb.height_mm) + " mm over " + num2str(c.kerb.length_mm) +
                  " mm, plateau " + num2str(c.kerb.plateau_mm) + " mm, at " +
                  num2str(c.kerb.speed_kmh) + " km/h";
  } else {
    check_shaker(c.shaker);
    s.road_text = "shaker " + num2str(c.shaker.amplitude_mm) + " mm, " + num2str(c.shaker.from_hz) +
                  " to " + num2str(c.shaker.to_hz) + " Hz at " +
                  std::to_string(c.shaker.frequencies) + " frequencies";
  }
  for (std::size_t i = 0; i < dampers.size() && i < names.size(); ++i) {
    RideRow r;
    r.number = names[i].first;
    r.name = names[i].second;
    switch (c.kind) {
      case RideCaseKind::Road:
        r.road = ride_on_road(c.car, dampers[i], road, c.speed_kmh);
        break;
      case RideCaseKind::Kerb:
        r.kerb = ride_over_kerb(c.car, dampers[i], c.kerb);
        break;
      case RideCaseKind::Shaker:
        r.shaker = ride_on_shaker(c.car, dampers[i], c.shaker);
        break;
    }
    s.rows.push_back(std::move(r));
  }
  return s;
}

RideTable ride_table(const RideStudy& s) {
  RideTable t;
  auto column = [&](std::string heading, int decimals) {
    t.heading.push_back(std::move(heading));
    t.decimals.push_back(decimals);
  };
  switch (s.what.kind) {
    case RideCaseKind::Road:
      column("Tyre load RMS (N)", 0);
      column("Tyre load RMS (%)", 1);
      column("Off the road (%)", 2);
      column("Body RMS (m/s2)", 2);
      column("Travel RMS (mm)", 1);
      column("Travel max (mm)", 1);
      column("Velocity RMS (mm/s)", 0);
      column("Velocity max (mm/s)", 0);
      for (std::size_t b = 0; b < kVelocityBands; ++b) column(band_heading("Comp", b), 1);
      for (std::size_t b = 0; b < kVelocityBands; ++b) column(band_heading("Reb", b), 1);
      for (const RideRow& r : s.rows) {
        const RoadResult& x = r.road;
        std::vector<double> v = {x.tyre_load_rms_n,   x.tyre_load_rms_percent, x.off_road_percent,
                                 x.body_accel_rms,    x.travel_rms_mm,         x.travel_max_mm,
                                 x.velocity_rms_mmps, x.velocity_max_mmps};
        v.insert(v.end(), x.compression_percent.begin(), x.compression_percent.end());
        v.insert(v.end(), x.rebound_percent.begin(), x.rebound_percent.end());
        t.values.push_back(std::move(v));
      }
      break;
    case RideCaseKind::Kerb:
      column("Lowest tyre load (N)", 0);
      column("Largest body accel (m/s2)", 2);
      column("Largest travel (mm)", 1);
      column("Settles in (s)", 2);
      for (const RideRow& r : s.rows)
        t.values.push_back({r.kerb.lowest_tyre_load_n, r.kerb.largest_body_accel,
                            r.kerb.largest_travel_mm, r.kerb.settle_s});
      break;
    case RideCaseKind::Shaker:
      column("Body resonance (Hz)", 2);
      column("Body peak (ratio)", 2);
      column("Wheel resonance (Hz)", 2);
      column("Tyre load peak (of static)", 2);
      for (const RideRow& r : s.rows) {
        const ShakerResult& x = r.shaker;
        double body = 0, load = 0;
        for (double b : x.body) body = std::max(body, b);
        for (double l : x.tyre_load) load = std::max(load, l);
        t.values.push_back({x.body_resonance_hz, body, x.wheel_resonance_hz, load});
      }
      break;
  }
  return t;
}

std::string ride_tsv(const RideStudy& s) {
  const RideTable t = ride_table(s);
  std::string out = "Curve\tName";
  for (const std::string& h : t.heading) out += "\t" + h;
  out += "\n";
  for (std::size_t i = 0; i < s.rows.size(); ++i) {
    out += std::to_string(s.rows[i].number) + "\t" + s.rows[i].name;
    for (std::size_t c = 0; c < t.heading.size(); ++c)
      out += "\t" + number_text(t.values[i][c], t.decimals[c]);
    out += "\n";
  }
  return out;
}

std::string ride_csv(const RideStudy& s) {
  const RideTable t = ride_table(s);
  const std::string end = "\r\n";
  std::string out = "Curve,Name";
  for (const std::string& h : t.heading) out += "," + csv_field(h);
  out += end;
  for (std::size_t i = 0; i < s.rows.size(); ++i) {
    out += std::to_string(s.rows[i].number) + "," + csv_field(s.rows[i].name);
    for (std::size_t c = 0; c < t.heading.size(); ++c) {
      out += ",";
      if (!std::isnan(t.values[i][c])) out += exact_number(t.values[i][c]);
    }
    out += end;
  }
  if (s.what.kind == RideCaseKind::Shaker) {
    out += end + "Curve,Frequency (Hz),Body (ratio),Tyre load (of static)" + end;
    for (const RideRow& r : s.rows)
      for (std::size_t k = 0; k < r.shaker.frequency_hz.size(); ++k)
        out += std::to_string(r.number) + "," + exact_number(r.shaker.frequency_hz[k]) + "," +
               exact_number(r.shaker.body[k]) + "," + exact_number(r.shaker.tyre_load[k]) + end;
  }
  return out;
}

std::vector<ClickSet> parse_click_sets(std::string_view text) {
  std::vector<ClickSet> out;
  std::size_t at = 0, line = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string s(text.substr(at, end - at));
    at = end + 1;
    ++line;
    for (char& c : s)
      if (c == '\t' || c == '\r' || c == ',' || c == ';') c = ' ';
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos || s[first] == '#') {
      if (end == text.size()) break;
      continue;
    }
    ClickSet set;
    for (std::size_t p = first; p != std::string::npos && p < s.size();) {
      const std::size_t q = std::min(s.find(' ', p), s.size());
      const std::string word = s.substr(p, q - p);
      const std::size_t eq = word.find('=');
      const std::string key = eq == std::string::npos ? word : word.substr(0, eq);
      const std::string value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
      std::optional<std::string>* slot = key == "LSC"   ? &set.lsc
                                         : key == "HSC" ? &set.hsc
                                         : key == "LSR" ? &set.lsr
                                         : key == "HSR" ? &set.hsr
                                                        : nullptr;
      if (!slot || value.empty() || !str2double(value))
        throw RuntimeError("Line " + std::to_string(line) + " of the set-up list: \"" + word +
                           "\" is not LSC, HSC, LSR or HSR = a click.");
      *slot = value;
      p = s.find_first_not_of(' ', q);
    }
    out.push_back(std::move(set));
    if (end == text.size()) break;
  }
  if (out.empty()) throw RuntimeError("The set-up list holds no set-up.");
  return out;
}

}  // namespace quorin::analysis
