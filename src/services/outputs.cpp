#include "services/outputs.h"

#include <cctype>

namespace quorin {

bool picture_format_of(const std::filesystem::path& file, PictureFormat& format) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (PictureFormat f : {PictureFormat::Png, PictureFormat::Svg, PictureFormat::Pdf}) {
    if (ext == extension_of(f)) {
      format = f;
      return true;
    }
  }
  return false;
}

std::string_view extension_of(PictureFormat format) {
  switch (format) {
    case PictureFormat::Png:
      return ".png";
    case PictureFormat::Svg:
      return ".svg";
    case PictureFormat::Pdf:
      return ".pdf";
  }
  return ".png";
}

}  // namespace quorin
