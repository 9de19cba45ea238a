// PRINT of the comparison window with seven curves into a PDF file: the time of one print,
// the size of the file and the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "services/dialogs.h"
#include "services/qt/output.h"
#include "services/qt/toolkit.h"
#include "startup/program.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

// PRINT answered with a PDF printer writing `file`, as `dialog print` answers it.
class PdfPrinter : public Printer {
 public:
  PdfPrinter(gfx::Model& m, fs::path file) : model_(m), file_(std::move(file)) {}
  bool print_window(int number, bool) override {
    qtk::print_window_pdf(model_, number, file_);
    return true;
  }

 private:
  gfx::Model& model_;
  fs::path file_;
};

// The peak resident memory of the whole process so far (start-up and PLOTs included; compare
// with peak_rss_before_print_mb).
double peak_resident_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void BM_PrintComparisonWindowSevenCurvesToPdf(benchmark::State& state) {
  qtk::ensure_application();
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{QUORIN_BIN_DIR, dialogs, console};
  program.report_error = [](const std::string& m) { throw std::runtime_error(m); };
  program.start();
  for (int i = 0; i < 7; ++i)
    if (!program.run_command("quorin_processor_ct('view')"))
      throw std::runtime_error("PLOT failed");
  const fs::path pdf = fs::temp_directory_path() / "quorin_print_bench.pdf";
  PdfPrinter printer(program.gfx, pdf);
  program.printer = &printer;
  const double before_mb = peak_resident_mb();
  for (auto _ : state) {
    if (!program.run_command("quorin_processor_ct('print')"))
      throw std::runtime_error("PRINT failed");
  }
  state.counters["pdf_kb"] = static_cast<double>(fs::file_size(pdf)) / 1024.0;
  state.counters["peak_rss_mb"] = peak_resident_mb();
  state.counters["peak_rss_before_print_mb"] = before_mb;
  // QUORIN_PRINT_BENCH_KEEP=1 keeps the file to look at.
  if (std::getenv("QUORIN_PRINT_BENCH_KEEP") == nullptr) fs::remove(pdf);
}
BENCHMARK(BM_PrintComparisonWindowSevenCurvesToPdf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorin
