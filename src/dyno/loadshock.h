// loadshock: lets the user pick a shock-dyno file (*.pvp) and reads it into the record
// ShockData, the measured force and velocity samples of each test page among it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "services/dialogs.h"
#include "services/value.h"

namespace quorin {

inline constexpr std::string_view kLoadshockDialogTitle = "Select a Roehrig Shock File";
inline constexpr std::string_view kLoadshockPattern = "*.pvp";

// What loadshock hands back: the record and the folder the dialog returned. On a cancelled
// dialog ShockData is the number 1 and pn is nullopt (the program's cancel value 0).
struct LoadshockResult {
  Value ShockData;
  std::optional<std::string> pn;
};

// Shows the file-open dialog (filter: the folder `pn` followed by "*.pvp"; just "*.pvp" when
// `pn` is nullopt) and reads the chosen file. An unknown type code in the file writes the
// reader's one line to `console`; that, a file that cannot be opened, or a field that must be
// a number holding a text throws RuntimeError and returns nothing.
LoadshockResult loadshock(Dialogs& dialogs, std::ostream& console,
                          const std::optional<std::string>& pn);

// Reads the bytes of a whole dyno file into ShockData; `fn` and `pn` become its first two
// fields. Throws as loadshock does.
Value read_dyno(std::span<const std::uint8_t> bytes, std::ostream& console, std::string_view fn,
                std::string_view pn);

}  // namespace quorin
