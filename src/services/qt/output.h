// Windows on paper and in picture files, drawn by the same widgets and painter as on screen.
#pragma once

#include <filesystem>

#include "services/gfx/model.h"
#include "services/outputs.h"

class QPrinter;

namespace quorin::qtk {

// Prints window `window` as its paper settings say (PaperType, PaperOrientation, PaperUnits,
// PaperPosition from the lower-left corner of the sheet). With `show_dialog` the system print
// dialog comes first; false when the user cancels it. Throws RuntimeError when the window is
// not open or no printer can be used.
bool print_window(gfx::Model& m, int window, bool show_dialog);

// Draws window `window` on the printer's page as its paper settings say; the printer's paper
// size and orientation are set from the window first. A PDF printer's output file is written
// whole or not at all, and only over a regular file (never into a FIFO or a device). Throws
// RuntimeError when the window is not open or the printer (or its output file) cannot be
// started or written, saying why.
void print_window_to(gfx::Model& m, int window, QPrinter& printer);

// Prints window `window` into the PDF file `pdf` as its paper settings say, as PRINT does
// when a PDF printer is chosen in the print dialog: lines and texts as vectors, texts in
// embedded fonts. Throws RuntimeError when the window is not open or the file cannot be
// written. Works headless (ensure_application runs it offscreen).
void print_window_pdf(gfx::Model& m, int window, const std::filesystem::path& pdf);

// Renders window `window` at its size to a PNG file. False when the window is not open; a file
// that cannot be written is a RuntimeError saying why, and leaves no file behind. Works
// headless (ensure_application runs it offscreen).
bool render_window_png(gfx::Model& m, int window, const std::filesystem::path& png);

// Saves a picture of a window with the same painter as the screen, laid out at the window's
// size: PNG at the requested resolution (the window's pixels are at 96 dpi, so 600 dpi
// gives 6.25 times as many pixels each way), SVG and PDF as vectors with texts as text.
// The file is written whole or not at all (an old file stays as it was), and only over a
// regular file. Throws RuntimeError when the window is not open or the file cannot be written,
// saying why. Works headless (ensure_application runs it offscreen).
void save_window_picture(gfx::Model& m, const PictureRequest& request);

}  // namespace quorin::qtk
