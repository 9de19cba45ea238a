// The system's clipboard and the picture writer behind the program's output interfaces.
#pragma once

#include "services/gfx/model.h"
#include "services/outputs.h"

namespace quorin::qtk {

// The system clipboard's plain text.
class SystemClipboard : public Clipboard {
 public:
  void set_text(const std::string& text) override;
  std::string text() const override;
};

// Pictures of the model's windows drawn by the screen painter (see save_window_picture).
class WindowPictureWriter : public PictureWriter {
 public:
  explicit WindowPictureWriter(gfx::Model& m) : model_(m) {}
  void write_picture(const PictureRequest& request) override;

 private:
  gfx::Model& model_;
};

}  // namespace quorin::qtk
