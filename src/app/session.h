// The session as one typed document: the stored curves, the counters, the held import and dyno
// curves, the twelve selections, the units, limits and boxes of the main window, the UPDATE #
// and EXPORT # numbers, the hidden curves and the damping guides. Taking it costs next to
// nothing (the heavy arrays are shared with the program, never copied), so it is taken after
// every use of a control; it goes to disk in a packed file and comes back bit for bit.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plotting/damper_curve.h"
#include "services/numeric.h"
#include "services/value.h"
#include "services/varfile.h"

namespace quorin {

class Program;

struct SessionDocument {
  NamedValues selections;                                      // as a damper file holds them
  std::vector<std::pair<std::string, std::string>> boxes;      // edit boxes by Tag
  std::vector<std::pair<std::string, double>> buttons;         // radio buttons and check boxes
  double counter = 1, counter2 = 1;
  std::vector<DamperCurve> plotdata;
  Matrix import;
  Value ShockData;
  std::vector<int> hidden;                                     // curve numbers
  std::optional<std::array<double, 2>> guides;                 // sprung mass kg, wheel rate N/mm

  // The curves stored (counter - 1, never below 0).
  std::size_t stored_curves() const;
};

// Whether two documents hold the same session, every number compared bit for bit (a NaN equals
// itself) and shared arrays by identity, so that nothing changed costs no comparison of curves.
bool same_session(const SessionDocument& a, const SessionDocument& b);

// The session of the running program (after start-up). Throws RuntimeError when the main
// window is not open.
SessionDocument take_session(Program& p);

// Checks a document against what the program itself can produce: whole counters in range, at
// most seven curves with rows of matching lengths, texts of sane length, an import of three
// columns, limits that are numbers or blank, selections the main window offers. Throws
// RuntimeError naming the first fault; `what` names the document in the message.
void check_session(const SessionDocument& d, const std::string& what);

// Puts a checked document into the program and redraws the comparison window as Rescale does.
// When anything fails on the way, the program is put back as it was before and RuntimeError
// is thrown: a refused session changes nothing.
void put_session(Program& p, const SessionDocument& d, const std::string& what);

// The packed session file. `write_session` replaces `file` whole or not at all; both throw
// RuntimeError naming the file and the reason.
void write_session(const std::filesystem::path& file, const SessionDocument& d);
SessionDocument read_session(const std::filesystem::path& file);
// Only the number of stored curves, read from the head of the file (for the restore question).
std::size_t read_session_curves(const std::filesystem::path& file);

}  // namespace quorin
