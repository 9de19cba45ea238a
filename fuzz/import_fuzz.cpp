// libFuzzer entry for curve import: any file bytes either become the import curve or are
// refused with the curve held before left as it was. The bytes go twice through the program:
// straight into the matrix reader, compared with a plain reading of the same text (lines, then
// blank- and comma-separated numbers, each read by str2double), and as a file through the
// IMPORT action of a started program, whose import curve must then be that matrix.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/comparison_tools.h"
#include "same_value.h"
#include "scratch.h"
#include "services/numeric.h"
#include "startup/program.h"

namespace {

using quorin::Matrix;
using quorin::fuzz::same_number;

bool same_matrix(const Matrix& a, const Matrix& b) {
  const std::vector<double> x = a.row_order(), y = b.row_order();
  if (a.rows != b.rows || a.cols != b.cols || x.size() != y.size()) return false;
  for (std::size_t k = 0; k < x.size(); ++k)
    if (!same_number(x[k], y[k])) return false;
  return true;
}

// Every column holds one number per row.
bool whole(const Matrix& m) {
  if (m.columns.size() != (m.empty() ? 0 : m.cols)) return false;
  for (const quorin::SharedArray& c : m.columns)
    if (c.size() != m.rows) return false;
  return true;
}

bool separates(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The text read line by line: a line is numbers separated by blanks or by one comma each,
// lines end at line breaks and semicolons, blank lines do not count and every other line has
// as many numbers as the first.
std::optional<Matrix> plain_reading(std::string_view text) {
  std::size_t rows = 0, cols = 0;
  std::vector<double> cells;
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t k = 0; k <= text.size(); ++k) {
    if (k == text.size() || text[k] == '\n' || text[k] == ';') {
      lines.push_back(text.substr(from, k - from));
      from = k + 1;
    }
  }
  for (std::string_view line : lines) {
    // Items: the numbers' texts and the commas, in order.
    std::vector<std::string_view> items;
    std::size_t k = 0;
    while (k < line.size()) {
      if (separates(line[k])) {
        ++k;
      } else if (line[k] == ',') {
        items.push_back(line.substr(k, 1));
        ++k;
      } else {
        std::size_t end = k;
        while (end < line.size() && !separates(line[end]) && line[end] != ',') ++end;
        items.push_back(line.substr(k, end - k));
        k = end;
      }
    }
    if (items.empty()) continue;
    std::vector<double> row;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i] == ",") {
        // between two numbers only
        if (i == 0 || i + 1 == items.size() || items[i - 1] == "," || items[i + 1] == ",")
          return std::nullopt;
        continue;
      }
      const std::optional<double> v = quorin::str2double(items[i]);
      if (!v) return std::nullopt;
      row.push_back(*v);
    }
    if (rows == 0) cols = row.size();
    if (row.size() != cols) return std::nullopt;
    cells.insert(cells.end(), row.begin(), row.end());
    ++rows;
  }
  return Matrix(rows, cols, cells);
}

// A program started once in a scratch copy of the start folder; IMPORT is answered with the
// file each input is written to.
struct ImportingProgram {
  ImportingProgram()
      : start(quorin::fuzz::start_folder_copy("import_fuzz", QUORIN_SUPPLIED)),
        folder(quorin::fuzz::fresh_folder("import_fuzz", "files")),
        program(std::make_unique<quorin::Program>(start, dialogs, console)) {
    program->report_error = [this](const std::string& m) { error = m; };
    quorin::ComparisonTools::attach(*program);
    program->start();
    if (program->last_error) std::abort();
  }
  std::filesystem::path start, folder;
  quorin::ScriptedDialogs dialogs;
  std::ostringstream console;
  std::unique_ptr<quorin::Program> program;
  std::string error;
};

bool refusal(const std::string& message) {
  return message.rfind("The import file \"", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ImportingProgram p;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::optional<Matrix> read = quorin::str2matrix(text);
  const std::optional<Matrix> expected = plain_reading(text);
  if (read.has_value() != expected.has_value()) std::abort();
  if (read && !same_matrix(*read, *expected)) std::abort();
  if (read && !whole(*read)) std::abort();
  // Read in stretches at once, as a long file is, the text gives the same matrix.
  const std::optional<Matrix> cut = quorin::str2matrix(text, 2 + size % 5);
  if (cut.has_value() != expected.has_value()) std::abort();
  if (cut && !same_matrix(*cut, *expected)) std::abort();

  quorin::fuzz::write_file(p.folder / "curve.txt", data, size);
  const Matrix before = p.program->globals.import;
  p.dialogs.push({false, "curve.txt", p.folder.string() + "/"});
  p.error.clear();
  const bool imported = p.program->run_command("quorin_processor_ct('import')");
  const Matrix& held = p.program->globals.import;
  if (read && read->rows >= 1 && read->cols >= 3) {
    if (!imported || !same_matrix(held, *read)) std::abort();
  } else {
    // refused with the import file named, and the curve held before kept
    if (imported || !refusal(p.error) || !same_matrix(held, before)) std::abort();
  }
  return 0;
}
