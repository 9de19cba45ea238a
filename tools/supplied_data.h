// The supplied data files built from the damper model: valving and bleed tables, the window
// data files, the two logos and the empty export file, written byte for byte the same each run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "damper_model.h"
#include "services/varfile.h"

namespace quorin::datagen {

// One side of the damper: its valve/shim combinations and its four high-speed springs.
struct Side {
  std::string name;  // "compression" or "rebound"
  std::vector<Valve> valves;
  std::vector<HighSpeedSpring> springs;
};
const Side& compression_side();
const Side& rebound_side();

// Number of high-speed table entries for a spring row (1-based): 31, 30, 30, 28.
std::size_t table_entries(std::size_t spring_row);
// Adjuster position (clicks of preload) at which entry h of spring row s was measured.
double adjuster_clicks(std::size_t spring_row, std::size_t h);

// The damper on the dyno for valving-table entry {valve, spring}(h) of a side, measured with
// the reference bleed.
Damper valve_damper(const Side& side, std::size_t valve_row, std::size_t spring_row, std::size_t h);
Measurement valve_measurement(const Side& side, std::size_t valve_row, std::size_t spring_row,
                              std::size_t h);
// The damper with its shim stack and adjuster blocked, bleed at `clicks`, swept up to the rig's
// load limit.
Measurement bleed_measurement(int clicks);
inline constexpr double kValveSweepTopMps = 0.508;  // 20 in/s
inline constexpr double kBleedSweepLimitN = 15000.0;

// A variable file with its variables in writing order.
struct VariableFile {
  std::string name;  // bare name; the writer adds ".mat"
  NamedValues variables;
};
std::vector<VariableFile> variable_files();

// The picture files: "logo_small.bmp" and "logo_plot.bmp" as bytes.
struct BinaryFile {
  std::string name;
  std::vector<unsigned char> bytes;
};
std::vector<BinaryFile> picture_files();

// Writes every supplied file into `folder` (created when missing), including "data/export.txt"
// (empty). Throws RuntimeError when a file cannot be written.
void write_supplied_data(const std::filesystem::path& folder);

}  // namespace quorin::datagen
