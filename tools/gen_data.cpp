// quorin-gendata: writes the supplied data files from the damper model (see
// docs/damper-model.md), draws the data picture, or prints the forces the tables span.
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "data_pictures.h"
#include "services/runtime_error.h"
#include "supplied_data.h"

namespace {

using namespace quorin::datagen;

// Forces at 0.25 m/s over every table entry and every low-speed setting, per side.
void print_stats() {
  for (const Side* side : {&compression_side(), &rebound_side()}) {
    double lo = 1e9, hi = 0, top = 0;
    std::string lo_at, hi_at;
    for (std::size_t s = 1; s <= side->springs.size(); ++s)
      for (std::size_t v = 1; v <= side->valves.size(); ++v)
        for (std::size_t h = 1; h <= table_entries(s); ++h) {
          Damper d = valve_damper(*side, v, s, h);
          for (int b = 0; b <= kBleedClicks; b += 5) {
            d.bleed_clicks = b;
            const double f = d.force_n(0.25);
            const std::string at = side->valves[v - 1].name + " spring " + std::to_string(s) +
                                   " entry " + std::to_string(h) + " LS " + std::to_string(b);
            if (f < lo) lo = f, lo_at = at;
            if (f > hi) hi = f, hi_at = at;
          }
          top = std::max(top, valve_measurement(*side, v, s, h).force.back());
        }
    std::printf("%-11s force at 0.25 m/s %6.0f N (%s) .. %6.0f N (%s); largest measured force %6.0f N\n",
                side->name.c_str(), lo, lo_at.c_str(), hi, hi_at.c_str(), top);
  }
  for (int b : {0, 10, 20}) {
    const Measurement m = bleed_measurement(b);
    std::printf("bleed %2d clicks: %zu points to %.4f m/s, %.0f N\n", b, m.velocity.size(),
                m.velocity.back(), m.force.back());
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 2 && std::strcmp(argv[1], "--stats") == 0) {
      print_stats();
      return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--pictures") == 0) {
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
      QGuiApplication app(argc, argv);
      draw_data_pictures(argv[2]);
      return 0;
    }
    if (argc == 2 && argv[1][0] != '-') {
      write_supplied_data(argv[1]);
      return 0;
    }
  } catch (const quorin::RuntimeError& e) {
    std::cerr << "quorin-gendata: " << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: quorin-gendata FOLDER | --pictures DIR | --stats\n";
  return 2;
}
