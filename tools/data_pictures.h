// docs/data.png: the supplied valving and bleed curves drawn so a person can judge them at a
// glance.
#pragma once

#include <filesystem>

namespace quorin::datagen {

// Draws data.png into `dir`. Needs a running QGuiApplication. Throws RuntimeError when the
// picture cannot be written.
void draw_data_pictures(const std::filesystem::path& dir);

}  // namespace quorin::datagen
