#include "services/documents.h"

#include <system_error>

#include "services/runtime_error.h"

namespace quorin {

std::vector<std::filesystem::path> document_places(const std::filesystem::path& executable_folder,
                                                   const std::filesystem::path& installed) {
  return {executable_folder / "docs",
          (executable_folder / ".." / "share" / "doc" / "quorin").lexically_normal(), installed};
}

std::optional<std::filesystem::path> documents_folder(
    const std::filesystem::path& executable_folder, const std::filesystem::path& installed) {
  for (const std::filesystem::path& place : document_places(executable_folder, installed)) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(place / kUserGuide, ec)) return place;
  }
  return std::nullopt;
}

std::filesystem::path document_file(std::string_view name,
                                    const std::filesystem::path& executable_folder,
                                    const std::filesystem::path& installed) {
  const std::filesystem::path file(name);
  if (name.empty() || file.filename() != file || file.extension() != ".md" || name.front() == '.')
    throw RuntimeError("\"" + std::string(name) + "\" is not one of the program's documents.");
  const std::optional<std::filesystem::path> folder =
      documents_folder(executable_folder, installed);
  if (!folder) {
    std::string looked;
    for (const std::filesystem::path& place : document_places(executable_folder, installed))
      looked += (looked.empty() ? "" : ", ") + place.string();
    throw RuntimeError("The user guide is not installed (looked in " + looked + ").");
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(*folder / file, ec))
    throw RuntimeError("The document \"" + std::string(name) + "\" is not in " + folder->string() +
                       ".");
  return *folder / file;
}

}  // namespace quorin
