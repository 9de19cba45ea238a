// What leaves the program besides files it writes itself: text for the clipboard and
// pictures of windows, as interfaces with recording implementations for headless runs.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

// The system clipboard's text.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void set_text(const std::string& text) = 0;
  virtual std::string text() const = 0;
};

// A clipboard of its own, for headless runs.
class ScriptedClipboard : public Clipboard {
 public:
  void set_text(const std::string& text) override { text_ = text; }
  std::string text() const override { return text_; }

 private:
  std::string text_;
};

enum class PictureFormat { Png, Svg, Pdf };

// The picture format a file name asks for by its extension (".png", ".svg", ".pdf", any
// case); false when it names none of them.
bool picture_format_of(const std::filesystem::path& file, PictureFormat& format);
std::string_view extension_of(PictureFormat format);  // ".png", ".svg", ".pdf"

// Resolutions offered for bitmap pictures, dots per inch; a window's pixels are at 96.
inline constexpr int kScreenDpi = 96;
inline constexpr std::array<int, 4> kPictureDpis = {96, 150, 300, 600};

struct PictureRequest {
  int window = 0;
  std::filesystem::path file;
  PictureFormat format = PictureFormat::Png;
  int dpi = kScreenDpi;  // bitmaps only
};

// Writes a picture of a window: bitmaps at the requested resolution, SVG and PDF as vectors
// with their texts as text. Throws RuntimeError when the window is not open or the file
// cannot be written.
class PictureWriter {
 public:
  virtual ~PictureWriter() = default;
  virtual void write_picture(const PictureRequest& request) = 0;
};

// Headless: records each request and writes nothing.
class RecordingPictureWriter : public PictureWriter {
 public:
  void write_picture(const PictureRequest& request) override { requests.push_back(request); }
  std::vector<PictureRequest> requests;
};

}  // namespace quorin
