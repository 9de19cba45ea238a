// The texts that the annotation and image functions show, in one place.
#pragma once

#include <string_view>

namespace quorin::annotation {

inline constexpr std::string_view kIncorrectArgumentCount = "Incorrect number of input arguments";
inline constexpr std::string_view kTooFewInputs = "Too few input arguments.";
// "%s" stands for the file name as the caller gave it; in kFileNotReadable "\n" is a line break.
inline constexpr std::string_view kFileNotReadable =
    "Can't open file \"%s\" for reading;\nyou may not have read permission.";
inline constexpr std::string_view kFileMissing = "File \"%s\" does not exist.";
inline constexpr std::string_view kUnknownFormat = "Unable to determine the file format.";
// "%s" stands for the format's first file extension.
inline constexpr std::string_view kNoReader = "No reading function for format %s.  See \"help imformats\".";

}  // namespace quorin::annotation
