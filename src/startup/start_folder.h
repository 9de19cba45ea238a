// Where the program reads its supplied files from: the current folder when it holds them, else
// the folder of the executable when the build put them there, else the user's own start folder,
// made on first start from the copy installed beside the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

class Desk;

// The current folder when it holds the supplied data files, otherwise `executable_dir`.
std::filesystem::path find_start_folder(const std::filesystem::path& cwd,
                                        const std::filesystem::path& executable_dir);

// The folder of the running executable; `argv0` serves when the system cannot say.
std::filesystem::path executable_folder(const char* argv0);

// Whether `folder` holds the files that mark a start folder.
bool holds_supplied_files(const std::filesystem::path& folder);

// The user's own start folder: `$XDG_DATA_HOME/quorin`, or `$HOME/.local/share/quorin` when
// XDG_DATA_HOME is unset, empty or not an absolute path. Nothing when neither can say (no HOME).
// Either argument may be null.
std::optional<std::filesystem::path> user_start_folder(const char* xdg_data_home, const char* home);

// The installed copy of the supplied files for an executable in `<prefix>/bin`:
// `<prefix>/share/quorin`.
std::filesystem::path installed_data_folder(const std::filesystem::path& executable_dir);

// What the start-up of an executable knows about its surroundings.
struct StartPlaces {
  std::filesystem::path cwd;
  std::filesystem::path executable_dir;
  std::optional<std::filesystem::path> user_folder;  // see user_start_folder
  std::filesystem::path installed_copy;              // see installed_data_folder
};

// The chosen start folder and what choosing it did.
struct StartFolder {
  std::filesystem::path folder;
  // Files copied into the user's start folder this time (paths relative to it), and whether
  // the empty export file was made.
  std::vector<std::filesystem::path> copied;
  bool made_export_file = false;
  // Supplied files in the user's start folder (paths relative to it) that differ from the
  // installed copy in size or checksum: damaged, or changed by the user. Never replaced
  // without asking (see offer_installed_copies).
  std::vector<std::filesystem::path> differing;
  // Set when the user's start folder could not be made or completed; the folder is then the
  // installed copy, read but never written.
  std::optional<std::string> problem;
};

// Chooses the start folder: the current folder when it holds the supplied files, then the
// executable's folder when it does, then the user's start folder when there is an installed
// copy; otherwise the executable's folder, whose start-up then names the missing file.
// The user's start folder is completed from the installed copy: every file missing there is
// copied (written under a temporary name, then renamed, so an interrupted copy is never taken
// for a whole file), `data/export.txt` is made empty when missing, and no existing file is
// replaced. Nothing is written anywhere else. Never throws.
StartFolder prepare_start_folder(const StartPlaces& places);

// The 64-bit checksum of a file's bytes; nothing when it cannot be read.
std::optional<std::uint64_t> file_checksum(const std::filesystem::path& file);

// Puts the installed copy back over the differing file `relative` of the user's start folder
// (written whole under a temporary name, then renamed), the file found there kept aside as
// "<name>.damaged" (".damaged-2" and so on when that is taken). Returns what went wrong, if
// anything; then nothing was changed.
std::optional<std::string> put_back_installed_copy(const StartFolder& chosen,
                                                   const StartPlaces& places,
                                                   const std::filesystem::path& relative);

// Asks through `desk` whether to put the installed copies back over the differing files of
// the user's start folder, and does as answered; the files put back leave `chosen.differing`.
// A file the user chose to keep is not asked about again while it stays as it is (its
// checksum is kept in the desk's settings). Problems are said on `console`.
void offer_installed_copies(StartFolder& chosen, const StartPlaces& places, Desk& desk,
                            std::ostream& console);

// The start of the desktop program: chooses and prepares the start folder, says on `console`
// what was worth telling, and offers the installed copies of any differing supplied file
// through `desk` (before anything of the start folder is read). Never throws.
StartFolder settle_start_folder(const StartPlaces& places, Desk& desk, std::ostream& console);

// The places of the running process: its current folder, its executable's folder, the user's
// start folder from the environment and the installed copy beside the executable.
StartPlaces start_places(const char* argv0);

// One line for standard error about what prepare_start_folder did worth telling (a first
// start, files restored, a problem); empty when there is nothing to say.
std::string describe_start_folder(const StartFolder& chosen, const StartPlaces& places);

// The start-folder rules as `--help` prints them.
std::string_view start_folder_help();

}  // namespace quorin
