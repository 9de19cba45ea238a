// PRINT into a PDF file: the comparison window with seven curves as vectors and real text,
// small enough to mail, and the errors of a window that is not open or a file that cannot
// be written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "processor/bleed_data.h"
#include "processor/synthesis.h"
#include "services/dialogs.h"
#include "services/fifo_watch.h"
#include "services/outputs.h"
#include "services/qt/output.h"
#include "services/qt/toolkit.h"
#include "services/runtime_error.h"
#include "services/small_disk.h"
#include "services/temp_dir.h"
#include "startup/program.h"

namespace quorin::qtk {
namespace {

namespace fs = std::filesystem;

// The parts of a PDF file a reader needs to show its text: every object's dictionary and
// (inflated) stream, by object number.
struct PdfObject {
  QByteArray dict, stream;
};

QByteArray inflate(const QByteArray& deflated) {
  // qUncompress wants the inflated size first (big-endian); it grows past a short guess.
  QByteArray sized(4, '\0');
  const quint32 guess = static_cast<quint32>(deflated.size()) * 4 + 64;
  for (int i = 0; i < 4; ++i) sized[i] = static_cast<char>((guess >> (24 - 8 * i)) & 0xff);
  return qUncompress(sized + deflated);
}

std::map<int, PdfObject> pdf_objects(const QByteArray& pdf) {
  std::map<int, PdfObject> out;
  static const QRegularExpression start(QStringLiteral("(?:^|\\n)(\\d+) 0 obj\\b"));
  const QString text = QString::fromLatin1(pdf);  // one character per byte
  qsizetype at = 0;
  while (true) {
    const QRegularExpressionMatch m = start.match(text, at);
    if (!m.hasMatch()) break;
    const int number = m.captured(1).toInt();
    const qsizetype body = m.capturedEnd();
    const qsizetype end = pdf.indexOf("endobj", body);
    if (end < 0) break;
    PdfObject o;
    const qsizetype s = pdf.indexOf("stream\n", body);
    if (s >= 0 && s < end) {
      o.dict = pdf.mid(body, s - body);
      const qsizetype e = pdf.lastIndexOf("endstream", end);
      QByteArray raw = pdf.mid(s + 7, e - (s + 7));
      o.stream = o.dict.contains("/FlateDecode") ? inflate(raw) : raw;
    } else {
      o.dict = pdf.mid(body, end - body);
    }
    out[number] = o;
    at = end;
  }
  return out;
}

// Glyph code -> text, from a font's ToUnicode map: single codes, ranges and ranges listed
// code by code. The fonts share one glyph for space and tab, mapped to tab; it reads as a
// space.
std::map<unsigned, QString> to_unicode(const QByteArray& cmap) {
  std::map<unsigned, QString> out;
  auto code = [](const QString& hex) { return hex.toUInt(nullptr, 16); };
  auto text_of = [](const QString& hex) {
    QString s;
    for (qsizetype i = 0; i + 4 <= hex.size(); i += 4) {
      const QChar c(hex.mid(i, 4).toUShort(nullptr, 16));
      s += c == '\t' ? QChar(' ') : c;
    }
    return s;
  };
  static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]+)>"));
  static const QRegularExpression single(QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>"));
  static const QRegularExpression range(QStringLiteral(
      "<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(?:<([0-9A-Fa-f]+)>|\\[([^\\]]*)\\])"));
  static const QRegularExpression block(QStringLiteral("beginbf(char|range)(.*?)endbf\\1"),
                                        QRegularExpression::DotMatchesEverythingOption);
  const QString c = QString::fromLatin1(cmap);
  for (auto b = block.globalMatch(c); b.hasNext();) {
    const auto bm = b.next();
    if (bm.captured(1) == "char") {
      for (auto i = single.globalMatch(bm.captured(2)); i.hasNext();) {
        const auto m = i.next();
        out[code(m.captured(1))] = text_of(m.captured(2));
      }
      continue;
    }
    for (auto i = range.globalMatch(bm.captured(2)); i.hasNext();) {
      const auto m = i.next();
      const unsigned lo = code(m.captured(1)), hi = code(m.captured(2));
      if (!m.captured(3).isEmpty()) {
        const unsigned first = code(m.captured(3));
        for (unsigned g = lo; g <= hi; ++g)
          out[g] = text_of(QStringLiteral("%1").arg(first + (g - lo), 4, 16, QChar('0')));
      } else {
        unsigned g = lo;
        for (auto k = hex.globalMatch(m.captured(4)); k.hasNext() && g <= hi; ++g)
          out[g] = text_of(k.next().captured(1));
      }
    }
  }
  return out;
}

// The page's texts as a reader extracts them: one string per text object (BT ... ET),
// glyphs mapped through the ToUnicode map of the font selected with Tf.
std::vector<QString> page_texts(const std::map<int, PdfObject>& objects) {
  std::map<QString, std::map<unsigned, QString>> fonts;  // resource name -> map
  static const QRegularExpression font_ref(QStringLiteral("/(F\\d+)\\s+(\\d+) 0 R"));
  static const QRegularExpression unicode_ref(QStringLiteral("/ToUnicode\\s+(\\d+) 0 R"));
  for (const auto& [n, o] : objects) {
    for (auto i = font_ref.globalMatch(QString::fromLatin1(o.dict)); i.hasNext();) {
      const auto m = i.next();
      auto f = objects.find(m.captured(2).toInt());
      if (f == objects.end()) continue;
      const auto u = unicode_ref.match(QString::fromLatin1(f->second.dict));
      if (!u.hasMatch()) continue;
      auto cm = objects.find(u.captured(1).toInt());
      if (cm != objects.end()) fonts[m.captured(1)] = to_unicode(cm->second.stream);
    }
  }
  std::vector<QString> texts;
  static const QRegularExpression op(
      QStringLiteral("BT|ET|/(F\\d+)\\s+[-0-9.]+\\s+Tf|<([0-9A-Fa-f]*)>\\s*Tj"));
  for (const auto& [n, o] : objects) {
    if (!o.dict.contains("/Length") || o.dict.contains("/Type")) continue;  // page contents
    const std::map<unsigned, QString>* font = nullptr;
    QString current;
    for (auto i = op.globalMatch(QString::fromLatin1(o.stream)); i.hasNext();) {
      const auto m = i.next();
      if (m.captured(0) == "BT") {
        current.clear();
      } else if (m.captured(0) == "ET") {
        texts.push_back(current);
      } else if (!m.captured(1).isEmpty()) {
        auto f = fonts.find(m.captured(1));
        font = f == fonts.end() ? nullptr : &f->second;
      } else if (font) {
        const QString hex = m.captured(2);
        for (qsizetype k = 0; k + 4 <= hex.size(); k += 4) {
          auto g = font->find(hex.mid(k, 4).toUInt(nullptr, 16));
          if (g != font->end()) current += g->second;
        }
      }
    }
  }
  return texts;
}

struct ImageSize {
  int width = 0, height = 0;
};

std::vector<ImageSize> images(const std::map<int, PdfObject>& objects) {
  std::vector<ImageSize> out;
  static const QRegularExpression w(QStringLiteral("/Width\\s+(\\d+)")),
      h(QStringLiteral("/Height\\s+(\\d+)"));
  for (const auto& [n, o] : objects) {
    const QString d = QString::fromLatin1(o.dict);
    if (!d.contains("/Subtype /Image")) continue;
    out.push_back({w.match(d).captured(1).toInt(), h.match(d).captured(1).toInt()});
  }
  return out;
}

// PRINT answered with a PDF printer, as the print dialog does when one is chosen.
class PdfPrinter : public Printer {
 public:
  PdfPrinter(gfx::Model& m, fs::path file) : model_(m), file_(std::move(file)) {}
  bool print_window(int number, bool) override {
    print_window_pdf(model_, number, file_);
    return true;
  }

 private:
  gfx::Model& model_;
  fs::path file_;
};

TEST(Print, SevenCurvesGoToASmallPdfOfVectorsAndText) {
  if (!fs::is_regular_file(fs::path(QUORIN_BIN_DIR) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  ensure_application();
  test::TempDir dir;
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program(QUORIN_BIN_DIR, dialogs, console);
  std::vector<std::string> errors;
  program.report_error = [&](const std::string& m) { errors.push_back(m); };
  program.start();
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(program.run_command("quorin_processor_ct('view')"));
  const fs::path pdf = dir / "comparison.pdf";
  PdfPrinter printer(program.gfx, pdf);
  program.printer = &printer;
  ASSERT_TRUE(program.run_command("quorin_processor_ct('print')")) << errors.back();

  ASSERT_TRUE(fs::is_regular_file(pdf));
  EXPECT_LT(fs::file_size(pdf), 300u * 1024u);
  const QByteArray bytes = QByteArray::fromStdString(test::TempDir::read(pdf));
  const auto objects = pdf_objects(bytes);

  // Only the logo is a picture, at its own size; no picture of the whole page.
  const std::vector<ImageSize> pictures = images(objects);
  EXPECT_LE(pictures.size(), 1u);
  for (const ImageSize& s : pictures) {
    EXPECT_LE(s.width, 400);
    EXPECT_LE(s.height, 400);
  }
  EXPECT_TRUE(bytes.contains("/FontFile2")) << "fonts are embedded";

  // Every line of the legend, the title and the axis labels can be read back as text.
  const std::vector<QString> texts = page_texts(objects);
  auto has = [&](const QString& s) {
    for (const QString& t : texts)
      if (t == s) return true;
    return false;
  };
  EXPECT_TRUE(has("Damper Curve Comparison"));
  EXPECT_TRUE(has("Velocity (inches/s)"));
  EXPECT_TRUE(has("Force (lbs)"));
  gfx::Model& m = program.gfx;
  int legend_lines = 0;
  for (const gfx::Text* t : m.children_of<gfx::Text>(m.get(program.globals.IDhandle))) {
    if (!t->visible || t->string.empty()) continue;
    for (const QString& line : QString::fromStdString(t->string).split('\n')) {
      if (line.isEmpty()) continue;
      ++legend_lines;
      EXPECT_TRUE(has(line)) << line.toStdString();
    }
  }
  EXPECT_GE(legend_lines, 7) << "a legend entry per curve";
}

TEST(Print, AWindowThatIsNotOpenOrAFileThatCannotBeWrittenIsAnError) {
  ensure_application();
  test::TempDir dir;
  gfx::Model m;
  m.figure(1);
  const fs::path pdf = dir / "none.pdf";
  EXPECT_THROW(print_window_pdf(m, 2, pdf), RuntimeError);
  EXPECT_FALSE(fs::exists(pdf));

  m.figure(2);
  const fs::path nowhere = dir / "no such folder" / "x.pdf";
  try {
    print_window_pdf(m, 2, nowhere);
    ADD_FAILURE() << "an unwritable file was reported as printed";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find(nowhere.string()), std::string::npos) << e.what();
  }
}

// Printing to a PDF file writes it whole or not at all: a FIFO in its place is refused at once,
// and on a full disk an older file stays as it was and the message says why.
TEST(Print, APdfFileIsWrittenWholeOrNotAtAll) {
  ensure_application();
  gfx::Model m;
  gfx::Window& w = m.figure(2);
  const std::vector<double> x{0, 1, 2}, y{0, 1, 4};
  m.plot(m.new_axes(w), x, y, "r");
  test::TempDir dir;
  const fs::path fifo = dir / "pipe.pdf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  {
    test::FifoWatch watch(fifo);
    try {
      print_window_pdf(m, 2, fifo);
      ADD_FAILURE() << "a FIFO was printed to";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()), "The file \"" + fifo.string() +
                                           "\" is not a regular file (a pipe (FIFO)); nothing was "
                                           "written.");
    }
    EXPECT_FALSE(watch.stepped_in()) << "printing waited on the FIFO";
  }
  EXPECT_TRUE(fs::is_fifo(fifo));

  test::SmallDisk disk(8 * 1024);
  const fs::path pdf = disk / "print.pdf";
  std::ofstream(pdf, std::ios::binary) << "an older print\n";
  std::string error;
  {
    const auto full = disk.full();
    try {
      print_window_pdf(m, 2, pdf);
    } catch (const RuntimeError& e) {
      error = e.what();
    }
  }
  EXPECT_NE(error.find(disk.is_tmpfs() ? "No space left on device" : "File too large"),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("nothing was printed and the old file is unchanged"), std::string::npos)
      << error;
  EXPECT_EQ(test::TempDir::read(pdf), "an older print\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(disk.folder()), fs::directory_iterator()), 1);
  print_window_pdf(m, 2, dir / "print.pdf");
  EXPECT_EQ(test::TempDir::read(dir / "print.pdf").substr(0, 5), "%PDF-");
}

// One side's valve, spring and high-speed rows, and how many points its curve has.
struct HeavySide {
  double valve = 0, spring = 0, high = 0;
  std::size_t points = 0;
};

// The seven valve, spring and high-speed choices of one side whose curves have the most points
// (a point per newton up to the valve's top force), every row of the three popups tried.
std::vector<HeavySide> heaviest_sides(Program& program, const BleedData& bleeds, bool compression) {
  gfx::Model& m = program.gfx;
  auto popup = [&](const char* tag) -> gfx::Control& {
    for (gfx::Object* o : m.find_all_by_tag(*m.window(1), tag))
      if (auto* c = dynamic_cast<gfx::Control*>(o)) return *c;
    throw std::logic_error(std::string("no popup ") + tag);
  };
  gfx::Control& valve = popup(compression ? "CompressionValve" : "ReboundValve");
  gfx::Control& spring = popup(compression ? "CompressionSpring" : "ReboundSpring");
  gfx::Control& high = popup(compression ? "HSC" : "HSR");
  std::vector<HeavySide> all;
  for (std::size_t v = 1; v <= valve.items.size(); ++v)
    for (std::size_t k = 1; k <= spring.items.size(); ++k)
      for (std::size_t h = 1; h <= high.items.size(); ++h) {
        valve.value = static_cast<double>(v);
        spring.value = static_cast<double>(k);
        high.value = static_cast<double>(h);
        try {
          m.figure(1);
          const SetupSelection s = read_setup(m);
          const SideCurve c = compression
                                  ? synthesise_compression(s.compression, program.globals, bleeds)
                                  : synthesise_rebound(s.rebound, program.globals, bleeds);
          all.push_back({valve.value, spring.value, high.value, c.velocity.size()});
        } catch (const RuntimeError&) {
          // a combination the tables do not hold
        }
      }
  std::sort(all.begin(), all.end(),
            [](const HeavySide& a, const HeavySide& b) { return a.points > b.points; });
  all.resize(std::min<std::size_t>(all.size(), 7));
  return all;
}

// The seven set-ups with the most points the valving tables can give, in either units, go to
// a PDF of at most 300 KB, printed or saved as a picture.
TEST(Print, TheSevenHeaviestSetUpsGoToASmallPdfInEitherUnits) {
  if (!fs::is_regular_file(fs::path(QUORIN_BIN_DIR) / "quorin_bleed_2004_v1.mat"))
    GTEST_SKIP() << "the supplied data are not generated";
  ensure_application();
  test::TempDir dir;
  for (const char* units : {"us", "si"}) {
    SCOPED_TRACE(units);
    ScriptedDialogs dialogs;
    std::ostringstream console;
    Program program(QUORIN_BIN_DIR, dialogs, console);
    std::vector<std::string> errors;
    program.report_error = [&](const std::string& e) { errors.push_back(e); };
    program.start();
    const BleedData bleeds = read_bleed_data(QUORIN_BIN_DIR);
    const std::vector<HeavySide> comp = heaviest_sides(program, bleeds, true);
    const std::vector<HeavySide> reb = heaviest_sides(program, bleeds, false);
    ASSERT_EQ(comp.size(), 7u);
    ASSERT_EQ(reb.size(), 7u);
    gfx::Model& m = program.gfx;
    auto set = [&](const char* tag, double value) {
      for (gfx::Object* o : m.find_all_by_tag(*m.window(1), tag))
        if (auto* c = dynamic_cast<gfx::Control*>(o)) c->value = value;
    };
    set("SIUnits", std::string(units) == "si" ? 1 : 0);
    set("USUnits", std::string(units) == "us" ? 1 : 0);
    m.figure(1);
    ASSERT_TRUE(program.run_command(std::string("quorin_processor_ct('") + units + "')"));
    std::size_t points = 0;
    for (std::size_t k = 0; k < 7; ++k) {
      set("CompressionValve", comp[k].valve);
      set("CompressionSpring", comp[k].spring);
      set("HSC", comp[k].high);
      set("ReboundValve", reb[k].valve);
      set("ReboundSpring", reb[k].spring);
      set("HSR", reb[k].high);
      m.figure(1);
      ASSERT_TRUE(program.run_command("quorin_processor_ct('view')")) << errors.back();
      points += comp[k].points + reb[k].points;
    }
    const fs::path printed = dir / (std::string("printed-") + units + ".pdf");
    print_window_pdf(m, 2, printed);
    const fs::path picture = dir / (std::string("picture-") + units + ".pdf");
    save_window_picture(m, PictureRequest{2, picture, PictureFormat::Pdf, kScreenDpi});
    std::printf("[ heaviest ] %s: %zu points; printed %ju bytes, picture %ju bytes\n", units,
                points, static_cast<std::uintmax_t>(fs::file_size(printed)),
                static_cast<std::uintmax_t>(fs::file_size(picture)));
    EXPECT_LE(fs::file_size(printed), 300u * 1024u);
    EXPECT_LE(fs::file_size(picture), 300u * 1024u);
  }
}

// A curve on paper is written in whole dots of the page (1200 dpi): no coordinate carries more
// digits than the page can show, and no two points fall on the same dot.
TEST(Print, CurvePointsAreWholeDotsOfThePage) {
  ensure_application();
  gfx::Model m;
  gfx::Window& w = m.figure(2);
  gfx::Axes& a = m.new_axes(w);
  a.visible = false;  // the curve alone on the page
  std::vector<double> x(5001), y(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<double>(i) / 500.0;
    y[i] = std::sin(x[i]) + 0.3 * std::sin(7.1 * x[i]);
  }
  m.plot(a, x, y, "b");
  test::TempDir dir;
  print_window_pdf(m, 2, dir / "curve.pdf");
  static const QRegularExpression line_to(QStringLiteral("^(-?[0-9.]+) (-?[0-9.]+) l$"),
                                          QRegularExpression::MultilineOption);
  int whole = 0, fractional = 0;
  for (const auto& [n, o] :
       pdf_objects(QByteArray::fromStdString(test::TempDir::read(dir / "curve.pdf")))) {
    auto it = line_to.globalMatch(QString::fromLatin1(o.stream));
    while (it.hasNext()) {
      const auto match = it.next();
      (match.captured(1).contains('.') || match.captured(2).contains('.') ? fractional : whole)++;
    }
  }
  EXPECT_GT(whole, 50);
  EXPECT_LT(whole, 2500) << "points finer than the paper shows were written";
  EXPECT_EQ(fractional, 0);
}

}  // namespace
}  // namespace quorin::qtk
