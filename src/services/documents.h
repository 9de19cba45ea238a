// Where the program's documents are at run time: the user guide and the documents and
// pictures it links to (tuning, scripting, file formats, the damper model).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

// The document the Help button opens.
inline constexpr std::string_view kUserGuide = "user-guide.md";
// Where the package installs the documents.
inline constexpr std::string_view kInstalledDocuments = "/usr/share/doc/quorin";

// The folders that may hold the documents of a program whose executable is in
// `executable_folder`, in the order they are tried: the copy the build puts next to the
// executable (docs/), the one installed under the executable's prefix (../share/doc/quorin),
// then `installed` (the system's copy).
std::vector<std::filesystem::path> document_places(
    const std::filesystem::path& executable_folder,
    const std::filesystem::path& installed = kInstalledDocuments);

// The first of document_places that holds the user guide; nullopt when none does.
std::optional<std::filesystem::path> documents_folder(
    const std::filesystem::path& executable_folder,
    const std::filesystem::path& installed = kInstalledDocuments);

// The file of document `name` (a file name such as "tuning.md", nothing else) for a program
// whose executable is in `executable_folder`. Throws RuntimeError naming the document when
// the name is not a document's or when the documents are not where the program looks.
std::filesystem::path document_file(std::string_view name,
                                    const std::filesystem::path& executable_folder,
                                    const std::filesystem::path& installed = kInstalledDocuments);

}  // namespace quorin
