#include "app/script_driver.h"

#include <array>
#include <cctype>
#include <charconv>
#include <functional>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <span>
#include <vector>

#include "app/comparison_tools.h"
#include "library/library.h"
#include "library/library_window.h"
#include "services/file_io.h"
#include "services/gfx/properties.h"
#include "services/runtime_error.h"
#include "services/varfile.h"
#include "startup/global_table.h"

namespace quorin {
namespace {

using json = nlohmann::ordered_json;

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Splits off the first blank-separated word.
std::string_view next_word(std::string_view& rest) {
  rest = trim(rest);
  std::size_t n = 0;
  while (n < rest.size() && !std::isspace(static_cast<unsigned char>(rest[n]))) ++n;
  std::string_view w = rest.substr(0, n);
  rest = trim(rest.substr(n));
  return w;
}

int parse_int(std::string_view s, const char* what) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size())
    throw ScriptSyntaxError(std::string(what) + " must be a whole number, not \"" + std::string(s) +
                            "\"");
  return v;
}

std::string ok() {
  return R"({"ok": true})";
}
// One JSON line; bytes of a text that are not UTF-8 (a name typed in another encoding, a file
// name) are written as U+FFFD instead of ending the script.
std::string line_of(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}
std::string error(const std::string& m) {
  return line_of(json{{"error", m}});
}
std::string value_line(const Value& v) {
  return line_of(json{{"value", to_json(v)}});
}

const char* kind_name(gfx::Kind k) {
  switch (k) {
    case gfx::Kind::Window:
      return "figure";
    case gfx::Kind::Axes:
      return "axes";
    case gfx::Kind::Line:
      return "line";
    case gfx::Kind::Text:
      return "text";
    case gfx::Kind::Image:
      return "image";
    case gfx::Kind::Control:
      return "uicontrol";
    case gfx::Kind::Menu:
      return "uimenu";
    case gfx::Kind::ContextMenu:
      return "uicontextmenu";
  }
  return "object";
}

// The properties worth showing per kind of object in `objects`.
std::vector<std::string_view> shown_properties(gfx::Kind k) {
  switch (k) {
    case gfx::Kind::Window:
      return {"Name", "Position", "Units", "Color", "Pointer", "Resize"};
    case gfx::Kind::Axes:
      return {"Position", "XLim", "YLim", "Color", "Box", "XGrid", "YGrid", "YDir"};
    case gfx::Kind::Line:
      return {"XData", "YData", "Color", "LineStyle", "Marker"};
    case gfx::Kind::Text:
      return {"String", "Position", "FontName", "FontSize", "FontAngle", "Rotation"};
    case gfx::Kind::Image:
      return {"XData", "YData", "CDataMapping"};
    case gfx::Kind::Control:
      return {"Style",    "String",   "Value",         "Units",
              "Position", "Callback", "TooltipString", "Enable"};
    case gfx::Kind::Menu:
    case gfx::Kind::ContextMenu:
      return {"Label", "Callback"};
  }
  return {};
}

json object_tree(gfx::Model& m, gfx::Object& o) {
  json j;
  j["type"] = kind_name(o.kind());
  j["handle"] = o.handle().value;
  j["Tag"] = o.tag;
  j["HandleVisibility"] = o.handle_visible ? "on" : "off";
  j["Visible"] = o.visible ? "on" : "off";
  for (auto name : shown_properties(o.kind())) {
    try {
      j[std::string(name)] = to_json(gfx::get_property(m, o, name));
    } catch (const RuntimeError&) {
      // a property this kind does not carry is left out
    }
  }
  json children = json::array();
  for (gfx::Handle h : o.children())
    if (gfx::Object* c = m.find(h)) children.push_back(object_tree(m, *c));
  j["children"] = std::move(children);
  return j;
}

// The control a `press` or `set` names: a unique Tag first, otherwise the control whose
// label (String, blanks trimmed) is the text.
gfx::Control& named_control(gfx::Model& m, std::string_view name, bool allow_label) {
  gfx::Window* w = m.current_window();
  if (!w) throw RuntimeError("No window is open.");
  auto tagged = m.find_all_by_tag(*w, name);
  std::vector<gfx::Control*> controls;
  for (auto* o : tagged)
    if (auto* c = dynamic_cast<gfx::Control*>(o)) controls.push_back(c);
  if (controls.size() == 1) return *controls.front();
  if (allow_label) {
    std::vector<gfx::Control*> labelled;
    std::function<void(gfx::Object&)> walk = [&](gfx::Object& o) {
      if (auto* c = dynamic_cast<gfx::Control*>(&o); c && trim(c->string) == trim(name))
        labelled.push_back(c);
      for (gfx::Handle h : o.children())
        if (gfx::Object* k = m.find(h)) walk(*k);
    };
    walk(*w);
    if (labelled.size() == 1) return *labelled.front();
    if (labelled.size() > 1)
      throw RuntimeError("More than one control is labelled \"" + std::string(name) + "\".");
  }
  if (controls.size() > 1)
    throw RuntimeError("More than one control has the Tag \"" + std::string(name) + "\".");
  throw RuntimeError("The current window has no control \"" + std::string(name) + "\".");
}

// A label without the ellipsis that marks an item asking for more.
std::string_view without_ellipsis(std::string_view label) {
  label = trim(label);
  for (std::string_view dots : {std::string_view("\xE2\x80\xA6"), std::string_view("...")})
    if (label.size() >= dots.size() && label.substr(label.size() - dots.size()) == dots)
      return trim(label.substr(0, label.size() - dots.size()));
  return label;
}

// The item of window `number`'s context menu labelled `label` (with or without its ellipsis).
gfx::Menu& menu_item(gfx::Model& m, int number, std::string_view label) {
  gfx::Window* w = m.window(number);
  if (!w) throw RuntimeError("Window " + std::to_string(number) + " is not open.");
  for (gfx::Menu* menu : m.children_of<gfx::Menu>(*w)) {
    if (menu->kind() != gfx::Kind::ContextMenu) continue;
    for (gfx::Menu* item : m.children_of<gfx::Menu>(*menu))
      if (without_ellipsis(item->label) == without_ellipsis(label)) return *item;
  }
  throw RuntimeError("The menu of window " + std::to_string(number) + " has no item \"" +
                     std::string(label) + "\".");
}

// The command a click on curve `curve`'s legend marker runs.
std::string legend_marker_command(Program& p, int curve) {
  auto* legend = dynamic_cast<gfx::Axes*>(p.gfx.find(p.globals.IDhandle));
  if (!legend) throw RuntimeError("The comparison window's legend is not open.");
  int k = 0;
  for (gfx::Line* l : p.gfx.children_of<gfx::Line>(*legend)) {
    if (l->marker != "s" || ++k != curve) continue;
    auto it = l->extra.find("buttondownfcn");
    if (it == l->extra.end() || !it->second.is_text())
      throw RuntimeError("The legend marker of curve " + std::to_string(curve) + " does nothing.");
    return it->second.str();
  }
  throw RuntimeError("The legend shows no curve " + std::to_string(curve) + ".");
}

}  // namespace

// The driver's desk: dialogs answered from the script, a clipboard and settings of its own,
// errors reported as the line's result. PRINT is recorded by the program's headless printer;
// a print dialog answered with `dialog print` prints into the PDF file or is cancelled, one
// with no answer queued prints nothing. Saved pictures are recorded by the program's headless
// writer and written through the driver's hook when it has one.
class ScriptDriver::ScriptDesk : public Desk, private Printer, private PictureWriter {
 public:
  explicit ScriptDesk(ScriptDriver& d) : d_(d) {}
  void attach(gfx::Model&, Runner, CloseHandler) override {}
  ScriptedDialogs& dialogs() override { return dialogs_; }
  Printer& printer() override { return *this; }
  Clipboard& clipboard() override { return clipboard_; }
  PictureWriter& pictures() override { return *this; }
  Settings& settings() override { return settings_; }
  void show_error(const std::string&) override {}
  void tell(const std::string&, const std::string&) override {}
  bool ask(const std::string&, const std::string&) override { return false; }

 private:
  bool print_window(int number, bool show_dialog) override {
    Program& p = d_.program();
    p.headless_printer.print_window(number, show_dialog);
    if (!show_dialog) return true;
    const std::optional<PrintAnswer> answer = dialogs_.next_print();
    if (!answer) return true;
    if (answer->cancelled) return false;
    if (!d_.hooks_.print_pdf) throw RuntimeError("This driver cannot print.");
    d_.hooks_.print_pdf(p.gfx, number, answer->pdf);
    return true;
  }
  void write_picture(const PictureRequest& request) override {
    Program& p = d_.program();
    p.headless_pictures.write_picture(request);
    if (!d_.hooks_.save_picture) throw RuntimeError("This driver cannot save pictures.");
    d_.hooks_.save_picture(p.gfx, request);
  }

  ScriptDriver& d_;
  ScriptedDialogs dialogs_;
  ScriptedClipboard clipboard_;
  MemorySettings settings_;
};

ScriptDriver::ScriptDriver(std::filesystem::path start_folder, std::ostream& console,
                           ScriptHooks hooks)
    : start_folder_(std::move(start_folder)),
      console_(console),
      hooks_(std::move(hooks)),
      desk_(std::make_unique<ScriptDesk>(*this)) {
  restart(start_folder_);
}

ScriptDriver::~ScriptDriver() = default;

ScriptedDialogs& ScriptDriver::dialogs() {
  return desk_->dialogs();
}

void ScriptDriver::restart(const std::filesystem::path& folder) {
  app_.reset();  // its session is kept and its file free before the new one looks for one
  app_ = std::make_unique<Application>(folder, *desk_, console_);
}

// What each command of the driver does; the table below puts them together with their
// arguments and help texts.
class ScriptDriver::Verbs {
 public:
  static std::span<const ScriptVerb> table();

 private:
  static std::string call(ScriptDriver& d, std::string_view rest) {
    std::string name(next_word(rest));
    if (name.empty()) throw ScriptSyntaxError("call needs a function name");
    int nargout = parse_int(next_word(rest), "NARGOUT");
    std::vector<Value> inputs;
    if (!rest.empty()) {
      json args = json::parse(rest, nullptr, false);
      if (args.is_discarded() || !args.is_array())
        throw ScriptSyntaxError("the inputs of call must be a JSON array");
      for (const auto& a : args) {
        try {
          inputs.push_back(from_json(a));
        } catch (const RuntimeError& e) {
          throw ScriptSyntaxError(e.what());
        }
      }
    }
    return d.boundary([&] {
      std::vector<Value> out = d.program().call(name, nargout, std::move(inputs));
      json arr = json::array();
      for (const auto& v : out) arr.push_back(to_json(v));
      return line_of(json{{"outputs", arr}});
    });
  }

  static std::string dialog_file(ScriptDriver& d, std::string_view rest) {
    std::string folder(next_word(rest));
    std::string file(rest);
    if (folder.empty() || file.empty())
      throw ScriptSyntaxError("dialog open|save needs FOLDER and FILE");
    if (folder.back() != '/') folder += '/';
    d.dialogs().push(DialogResult{false, file, folder});
    return ok();
  }
  static std::string dialog_cancel(ScriptDriver& d, std::string_view) {
    d.dialogs().push(DialogResult{});
    return ok();
  }
  static std::string dialog_print(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("dialog print needs FILE.pdf or cancel");
    d.dialogs().push_print(rest == "cancel" ? PrintAnswer{}
                                            : PrintAnswer{false, std::string(rest)});
    return ok();
  }
  static std::string dialog_input(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("dialog input needs TEXT, a JSON array or cancel");
    if (rest == "cancel") {
      d.dialogs().push_input(std::nullopt);
      return ok();
    }
    std::vector<std::string> answers;
    if (rest.front() == '[') {
      json arr = json::parse(rest, nullptr, false);
      if (arr.is_discarded() || !arr.is_array())
        throw ScriptSyntaxError("the answers of dialog input must be a JSON array");
      for (const auto& a : arr) answers.push_back(a.is_string() ? a.get<std::string>() : a.dump());
    } else {
      answers.emplace_back(rest);
    }
    d.dialogs().push_input(std::move(answers));
    return ok();
  }

  static std::string global(ScriptDriver& d, std::string_view rest) {
    std::string name(next_word(rest));
    return d.boundary([&] { return value_line(global_value(d.program().globals, name)); });
  }

  static std::string start(ScriptDriver& d, std::string_view rest) {
    std::filesystem::path folder = rest.empty() ? d.start_folder_ : std::filesystem::path(rest);
    d.restart(folder);
    return d.boundary([&] {
      if (!d.app_->start()) throw RuntimeError(d.program().last_error.value_or("start-up failed"));
      return ok();
    });
  }
  static std::string restore(ScriptDriver& d, std::string_view rest) {
    const int which = rest.empty() ? 1 : parse_int(next_word(rest), "N");
    return d.boundary([&] {
      if (which < 1) throw RuntimeError("restore N counts the waiting sessions from 1.");
      d.app_->kept_session().restore(d.program(), static_cast<std::size_t>(which - 1));
      return ok();
    });
  }
  static std::string waiting(ScriptDriver& d, std::string_view) {
    return d.boundary([&] {
      std::vector<double> curves;
      for (const KeptSession::Waiting& w : d.app_->kept_session().waiting_sessions())
        curves.push_back(static_cast<double>(w.curves));
      return value_line(Value::row(std::move(curves)));
    });
  }
  static std::string reopen(ScriptDriver& d, std::string_view) {
    return d.boundary([&] {
      if (!d.program().run_command(kReopenCommand))
        throw RuntimeError(d.program().last_error.value_or("error"));
      return ok();
    });
  }

  static std::string window(ScriptDriver& d, std::string_view rest) {
    int n = parse_int(next_word(rest), "N");
    return d.boundary([&] {
      gfx::Model& m = d.program().gfx;
      if (!m.window(n)) throw RuntimeError("Window " + std::to_string(n) + " is not open.");
      m.figure(n);
      return ok();
    });
  }
  static std::string set(ScriptDriver& d, std::string_view rest) {
    std::string tag(next_word(rest));
    std::string prop(next_word(rest));
    if (tag.empty() || prop.empty() || rest.empty())
      throw ScriptSyntaxError("set needs TAG PROPERTY JSON");
    Value v;
    try {
      v = parse_value(std::string(rest));
    } catch (const RuntimeError& e) {
      throw ScriptSyntaxError(e.what());
    }
    return d.boundary([&] {
      gfx::Model& m = d.program().gfx;
      gfx::set_property(m, named_control(m, tag, false), prop, v);
      return ok();
    });
  }
  static std::string get(ScriptDriver& d, std::string_view rest) {
    std::string tag(next_word(rest));
    std::string prop(next_word(rest));
    if (tag.empty() || prop.empty()) throw ScriptSyntaxError("get needs TAG PROPERTY");
    return d.boundary([&] {
      gfx::Model& m = d.program().gfx;
      return value_line(gfx::get_property(m, named_control(m, tag, true), prop));
    });
  }
  static std::string press(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("press needs a Tag or a label");
    Program& p = d.program();
    std::string callback;
    std::string pressed = d.boundary([&] {
      gfx::Control& c = named_control(p.gfx, rest, true);
      if (c.style == gfx::Control::Style::CheckBox || c.style == gfx::Control::Style::Radio)
        c.value = c.value == 1 ? 0 : 1;  // a click toggles the box first
      p.gfx.figure(p.gfx.window_of(c.handle()).number);
      p.gfx.touch();
      callback = c.callback;
      return ok();
    });
    if (pressed != ok() || callback.empty()) return pressed;
    return run_command(p, callback);
  }
  static std::string menu(ScriptDriver& d, std::string_view rest) {
    const int n = parse_int(next_word(rest), "N");
    if (rest.empty()) throw ScriptSyntaxError("menu needs N LABEL");
    Program& p = d.program();
    std::string callback;
    std::string found = d.boundary([&] {
      callback = menu_item(p.gfx, n, rest).callback;
      p.gfx.figure(n);  // the window whose menu is used becomes the current window
      return ok();
    });
    if (found != ok()) return found;
    return run_command(p, callback);
  }
  static std::string legend(ScriptDriver& d, std::string_view rest) {
    const int curve = parse_int(next_word(rest), "CURVE");
    Program& p = d.program();
    std::string callback;
    std::string found = d.boundary([&] {
      callback = legend_marker_command(p, curve);
      p.gfx.figure(2);
      return ok();
    });
    if (found != ok()) return found;
    return run_command(p, callback);
  }
  static std::string ride(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("ride needs KEY=VALUE ... out=FILE.csv");
    Program& p = d.program();
    return d.boundary([&] {
      if (!p.tools) throw RuntimeError("ride: run start first.");
      const std::size_t n = p.tools->ride_tools().batch(rest);
      return line_of(json{{"value", n}});
    });
  }
  static std::string clipboard(ScriptDriver& d, std::string_view) {
    return line_of(json{{"value", d.program().clipboard->text()}});
  }
  static std::string command(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("command needs a command text");
    return run_command(d.program(), rest);
  }
  static std::string snapshot(ScriptDriver& d, std::string_view rest) {
    int n = parse_int(next_word(rest), "N");
    std::string file(rest);
    if (file.empty()) throw ScriptSyntaxError("snapshot needs N FILE.png");
    return d.boundary([&] {
      gfx::Model& m = d.program().gfx;
      if (!m.window(n)) throw RuntimeError("Window " + std::to_string(n) + " is not open.");
      if (!d.hooks_.snapshot) throw RuntimeError("This driver cannot render windows.");
      if (!d.hooks_.snapshot(m, n, file)) throw RuntimeError("Could not write \"" + file + "\".");
      return ok();
    });
  }
  static std::string objects(ScriptDriver& d, std::string_view rest) {
    int n = parse_int(next_word(rest), "N");
    return d.boundary([&] {
      gfx::Model& m = d.program().gfx;
      gfx::Window* w = m.window(n);
      if (!w) throw RuntimeError("Window " + std::to_string(n) + " is not open.");
      return line_of(json{{"value", object_tree(m, *w)}});
    });
  }

  // ---- The set-up library.
  static LibraryTools& library_tools(ScriptDriver& d) { return d.program().tools->library_tools(); }
  // A JSON object of texts; throws ScriptSyntaxError naming the verb.
  static json object_of(std::string_view rest, std::string_view verb) {
    json j = json::parse(rest, nullptr, false);
    if (j.is_discarded() || !j.is_object())
      throw ScriptSyntaxError(std::string(verb) + " needs a JSON object");
    return j;
  }
  static std::string text_of(const json& j, const char* key) {
    if (!j.contains(key)) return {};
    const json& v = j.at(key);
    return v.is_string() ? v.get<std::string>() : v.dump();
  }
  static bool whole_number_text(std::string_view t) {
    return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
  }
  static json setup_json(const library::Setup& s) {
    json row = json::object();
    const std::vector<std::string> fields = library::comparison_fields();
    const std::vector<std::string> texts = library::field_texts(s);
    for (std::size_t k = 0; k < fields.size(); ++k) row[fields[k]] = texts[k];
    row["No."] = s.id;
    return row;
  }
  static std::string library_save(ScriptDriver& d, std::string_view rest) {
    const json j = object_of(rest, "library save");
    d.dialogs().push_input(std::vector<std::string>{text_of(j, "car"), text_of(j, "corner"),
                                                    text_of(j, "track"), text_of(j, "date"),
                                                    text_of(j, "session"), text_of(j, "notes")});
    const std::string done = run_command(d.program(), "comparison_menu('librarysave')");
    if (done != ok()) return done;
    return value_line(Value::number(static_cast<double>(library_tools(d).last_saved())));
  }
  static std::string library_open(ScriptDriver& d, std::string_view rest) {
    if (!whole_number_text(rest)) throw ScriptSyntaxError("library open needs a set-up number");
    return run_command(d.program(), "comparison_menu('libraryopen', '" + std::string(rest) + "')");
  }
  static std::string library_plot(ScriptDriver& d, std::string_view rest) {
    if (!whole_number_text(rest)) throw ScriptSyntaxError("library plot needs a set-up number");
    return run_command(d.program(), "comparison_menu('libraryplot', '" + std::string(rest) + "')");
  }
  static std::string library_find(ScriptDriver& d, std::string_view rest) {
    const json j = object_of(rest, "library find");
    return d.boundary([&] {
      library::Query q;
      q.car = text_of(j, "car");
      q.track = text_of(j, "track");
      q.date_from = text_of(j, "from");
      q.date_to = text_of(j, "to");
      q.valve = text_of(j, "valve");
      q.spring = text_of(j, "spring");
      q.clicks = text_of(j, "clicks");
      q.words = text_of(j, "notes");
      if (j.contains("limit") && j.at("limit").is_number_unsigned())
        q.limit = j.at("limit").get<std::size_t>();
      json rows = json::array();
      for (const library::Setup& s : library_tools(d).backend().find(q))
        rows.push_back(setup_json(s));
      return line_of(json{{"value", rows}});
    });
  }
  static std::string library_compare(ScriptDriver& d, std::string_view rest) {
    const json j = object_of(rest, "library compare");
    return d.boundary([&] {
      std::vector<std::int64_t> ids;
      if (j.contains("ids") && j.at("ids").is_array())
        for (const json& id : j.at("ids"))
          ids.push_back(setup_number(id.is_string() ? id.get<std::string>() : id.dump()));
      const std::string ref = text_of(j, "reference");
      library::Reference reference = library::Reference::PreviousOfCorner;
      if (ref == "first")
        reference = library::Reference::FirstOfEvent;
      else if (ref == "chosen")
        reference = library::Reference::Chosen;
      else if (!ref.empty() && ref != "previous")
        throw RuntimeError("The reference \"" + ref + "\" is not previous, first or chosen.");
      const std::int64_t chosen =
          reference == library::Reference::Chosen ? setup_number(text_of(j, "chosen")) : 0;
      const library::Comparison c =
          library::compare(library_tools(d).backend(), ids, reference, chosen);
      library::show_comparison_window(d.program().gfx, c);
      json rows = json::array();
      for (std::size_t f = 0; f < c.fields.size(); ++f)
        rows.push_back({{"field", c.fields[f]}, {"values", c.cells[f]}, {"differs", c.differs[f]}});
      return line_of(json{{"value", rows}});
    });
  }
  static std::string library_import(ScriptDriver& d, std::string_view rest) {
    const json j = object_of(rest, "library import");
    d.dialogs().push_input(std::vector<std::string>{text_of(j, "folder"), text_of(j, "car"),
                                                    text_of(j, "corner"), text_of(j, "track"),
                                                    text_of(j, "date"), text_of(j, "session")});
    return run_command(d.program(), "comparison_menu('libraryimport')");
  }
  static std::string library_export(ScriptDriver& d, std::string_view rest) {
    const json j = object_of(rest, "library export");
    return d.boundary([&] {
      std::vector<library::Setup> setups;
      if (!j.contains("ids") || !j.at("ids").is_array())
        throw RuntimeError("library export needs \"ids\", the set-ups' numbers.");
      for (const json& id : j.at("ids")) {
        const std::int64_t n = setup_number(id.is_string() ? id.get<std::string>() : id.dump());
        std::optional<library::Setup> s = library_tools(d).backend().open(n);
        if (!s) throw RuntimeError("The library has no set-up " + std::to_string(n) + ".");
        setups.push_back(std::move(*s));
      }
      const std::string as = text_of(j, "as");
      const std::filesystem::path to = text_of(j, "to");
      if (to.empty()) throw RuntimeError("library export needs \"to\", a file or folder.");
      if (as == "damper")
        library::export_damper_files(setups, to);
      else if (as == "csv")
        write_whole(to, library::setups_csv(setups));
      else if (as == "library") {
        std::error_code ec;
        if (std::filesystem::equivalent(to, library_tools(d).library_file(), ec))
          throw RuntimeError("A library file cannot be written over the library in use.");
        library::export_library_file(setups, to);
      } else
        throw RuntimeError("library export writes as damper, csv or library, not \"" + as + "\".");
      return ok();
    });
  }
  static std::string library_merge(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("library merge needs a library file");
    return d.boundary([&] {
      const library::MergeReport r =
          library::merge_library_file(library_tools(d).backend(), std::string(rest));
      return line_of(json{{"value", {{"added", r.added}, {"already", r.already}}}});
    });
  }
  static std::string library_server(ScriptDriver& d, std::string_view rest) {
    if (rest.empty()) throw ScriptSyntaxError("library server needs a connection or file");
    return d.boundary([&] {
      library_tools(d).use_server(rest == "file" ? std::string() : std::string(rest));
      return line_of(json{{"value", library_tools(d).backend().where()}});
    });
  }

  // Measured data: a dyno run file read and overlaid, a logger file's bands, the whole set-up
  // fitted to the dyno curve; each prints what it found.
  static std::string measured_run(ScriptDriver& d, std::string_view rest) {
    const std::string file(next_word(rest));
    const std::string_view keep = next_word(rest);
    if (file.empty()) throw ScriptSyntaxError("measured run needs FILE");
    if (!keep.empty() && keep != "raw") throw ScriptSyntaxError("measured run takes FILE [raw]");
    return d.boundary([&] {
      MeasuredTools& t = d.program().tools->measured_tools();
      if (!t.load_run(file, keep != "raw", keep != "raw"))
        throw RuntimeError("The question of the file's columns was cancelled; nothing was read.");
      const analysis::DynoRunShown& r = *t.last_run();
      json points = json::array();
      for (std::size_t k = 0; k < r.curve.velocity.size(); ++k)
        points.push_back({r.curve.velocity[k], r.curve.force[k], r.curve.spread[k]});
      return line_of(json{{"value",
                           {{"runs", r.processed.runs.size()},
                            {"gas_force_n", r.processed.gas_force_n},
                            {"friction_n", r.processed.friction_n},
                            {"friction_found", r.processed.friction_found},
                            {"points", points},
                            {"notes", r.notes}}}});
    });
  }
  static std::string measured_track(ScriptDriver& d, std::string_view rest) {
    const std::string file(trim(rest));
    if (file.empty()) throw ScriptSyntaxError("measured track needs FILE");
    return d.boundary([&] {
      MeasuredTools& t = d.program().tools->measured_tools();
      if (!t.load_track(file))
        throw RuntimeError("The question of the file's columns was cancelled; nothing was read.");
      json corners = json::array();
      for (const measured::CornerHistogram& h : t.track())
        corners.push_back({{"corner", measured::kCornerNames[static_cast<std::size_t>(h.corner)]},
                           {"compression_percent", h.compression_percent},
                           {"rebound_percent", h.rebound_percent},
                           {"speed_below_mps", h.speed_below}});
      return line_of(json{{"value", corners}});
    });
  }
  static std::string measured_fit(ScriptDriver& d, std::string_view rest) {
    const std::string_view sides = next_word(rest);
    if (!sides.empty() && sides != "both" && sides != "compression" && sides != "rebound")
      throw ScriptSyntaxError("measured fit takes [both|compression|rebound]");
    return d.boundary([&] {
      MeasuredTools& t = d.program().tools->measured_tools();
      t.fit(sides != "rebound", sides != "compression");
      auto side = [](const analysis::WholeSide& s) {
        json best = json::array();
        for (const analysis::WholeCandidate& c : s.best)
          best.push_back({{"valve", c.valve_text},
                          {"spring", c.spring_text},
                          {"low", c.clicks.low_click},
                          {"high", c.clicks.high_click},
                          {"rms", c.clicks.error.rms},
                          {"percent", c.clicks.error.percent}});
        return json{{"best", best}, {"tried", s.tried}, {"why_none", s.why_none}};
      };
      return line_of(json{{"value",
                           {{"compression", side(t.last_fit()->compression)},
                            {"rebound", side(t.last_fit()->rebound)}}}});
    });
  }

  // Runs a command text at the program's boundary: ok, or the error it reported.
  static std::string run_command(Program& p, std::string_view text) {
    if (!p.run_command(text)) return error(p.last_error.value_or("error"));
    return ok();
  }
};

// The driver's commands in the order the help lists them. A verb of two words is a form of
// the first word (`dialog open`); the first word alone is then not a command.
std::span<const ScriptVerb> ScriptDriver::Verbs::table() {
  static const std::vector<ScriptVerb> verbs = {
      {"start", "[FOLDER]", "run the start-up sequence in FOLDER (default: the start folder)",
       &Verbs::start},
      {"restore", "[N]",
       "bring back a session a run that did not end cleanly left in the start folder (after "
       "start): the newest, or the Nth newest",
       &Verbs::restore},
      {"waiting", "",
       "print the stored-curve counts of the waiting sessions, newest first, as "
       "{\"value\": [...]}",
       &Verbs::waiting},
      {"reopen", "",
       "reopen the last session that ended cleanly, as the main window's menu item "
       "\"Reopen last session\" does (after start; can be undone)",
       &Verbs::reopen},
      {"call", "NAME NARGOUT [INPUTS]",
       "run a program function; INPUTS is a JSON array of values; prints {\"outputs\": [...]}",
       &Verbs::call},
      {"dialog open", "FOLDER FILE", "answer the next file dialog with FOLDER and FILE",
       &Verbs::dialog_file},
      {"dialog save", "FOLDER FILE", "answer the next file dialog with FOLDER and FILE",
       &Verbs::dialog_file},
      {"dialog cancel", "", "cancel the next file dialog", &Verbs::dialog_cancel},
      {"dialog print", "FILE.pdf|cancel",
       "answer the next print dialog with a PDF printer writing FILE.pdf, so that PRINT prints "
       "into that file, or cancel it (with no answer queued, PRINT is only recorded and prints "
       "nothing)",
       &Verbs::dialog_print},
      {"dialog input", "TEXT|[...]|cancel",
       "answer the next input dialog (a JSON array of texts for several fields; fewer texts "
       "than fields leave the rest as they are), or cancel it",
       &Verbs::dialog_input},
      {"global", "NAME", "print a global as {\"value\": ...}", &Verbs::global},
      {"window", "N", "make window N current", &Verbs::window},
      {"set", "TAG PROPERTY JSON", "set a property of a control of the current window",
       &Verbs::set},
      {"get", "TAG_OR_LABEL PROPERTY", "print a property as {\"value\": ...}", &Verbs::get},
      {"press", "TAG_OR_LABEL",
       "use a control as a click does (check boxes and radio buttons toggle first), then run "
       "its command, for example press PLOT or press EXPORT #",
       &Verbs::press},
      {"menu", "N LABEL",
       "use the item LABEL of window N's right-click menu, for example menu 2 Difference",
       &Verbs::menu},
      {"legend", "CURVE",
       "click the legend marker of a curve in the comparison window (shows or hides the curve)",
       &Verbs::legend},
      {"ride", "KEY=VALUE ... out=FILE.csv",
       "run a ride study without windows for the stored curves, or for the set-ups listed in "
       "setups=FILE (one per line, e.g. LSC=3 HSC=12), on case=road|kerb|shaker, and write "
       "its results to FILE.csv; prints {\"value\": set-ups run} (keys in docs/scripting.md)",
       &Verbs::ride},
      {"clipboard", "", "print the clipboard's text as {\"value\": ...}", &Verbs::clipboard},
      {"command", "TEXT", "run a command text such as close", &Verbs::command},
      {"snapshot", "N FILE.png", "render window N to a PNG file", &Verbs::snapshot},
      {"objects", "N", "print window N's object tree as {\"value\": ...}", &Verbs::objects},
      {"library save", "JSON",
       "keep the main window's set-up in the set-up library, as its Save to library button does; "
       "JSON names car, corner, track, date (YYYY-MM-DD), session and notes; prints the set-up's "
       "number as {\"value\": N}",
       &Verbs::library_save},
      {"library open", "N", "put library set-up N in the main window (can be undone)",
       &Verbs::library_open},
      {"library plot", "N", "put library set-up N in the main window and plot it (can be undone)",
       &Verbs::library_plot},
      {"library find", "JSON",
       "search the library: JSON may name car, track, from, to, valve, spring, clicks, notes and "
       "limit; prints the set-ups found, newest event first, as {\"value\": [...]}",
       &Verbs::library_find},
      {"library compare", "JSON",
       "compare set-ups: {\"ids\": [N, ...], \"reference\": \"previous\"|\"first\"|\"chosen\", "
       "\"chosen\": N}; shows the comparison window and prints each field's values and which "
       "differ from the reference (the first column)",
       &Verbs::library_compare},
      {"library import", "JSON",
       "bring in a folder of damper files: JSON names folder, car, corner and, when not each "
       "file's name and date, track, date and session",
       &Verbs::library_import},
      {"library export", "JSON",
       "write set-ups out: {\"ids\": [N, ...], \"as\": \"damper\"|\"csv\"|\"library\", \"to\": "
       "FOLDER or FILE}",
       &Verbs::library_export},
      {"library merge", "FILE",
       "bring in the set-ups of a library file that are not in the library yet; prints "
       "{\"value\": {\"added\": N, \"already\": M}}",
       &Verbs::library_merge},
      {"library server", "CONNECTION|file",
       "keep the library on the PostgreSQL server CONNECTION (host=... dbname=... user=...; the "
       "password from the PostgreSQL password file), or with file in library.sqlite in the "
       "start folder; prints where the library is",
       &Verbs::library_server},
      {"measured run", "FILE [raw]",
       "read a dyno run file, overlay its peak-velocity curve as the dyno curve (gas force and "
       "friction taken off, or left in with raw) and print the gas force, friction and points "
       "found",
       &Verbs::measured_run},
      {"measured track", "FILE",
       "read a logger file, shade its bands on the comparison window and print each corner's "
       "histogram",
       &Verbs::measured_track},
      {"measured fit", "[both|compression|rebound]",
       "fit the whole set-up (valves, springs and clicks) to the held dyno curve and print the "
       "best five per side",
       &Verbs::measured_fit},
  };
  return {verbs.data(), verbs.size()};
}

std::span<const ScriptVerb> ScriptDriver::verbs() {
  return Verbs::table();
}

std::string ScriptDriver::boundary(const std::function<std::string()>& work) {
  // The program is looked up when the work has run: `start` replaces it.
  std::string out;
  if (program().guarded([&] { out = work(); })) return out;
  return error(program().last_error.value_or("error"));
}

std::optional<std::string> ScriptDriver::run_line(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() == '#') return std::nullopt;
  std::string_view rest = line;
  const std::string_view verb = next_word(rest);
  const ScriptVerb* found = nullptr;
  std::vector<std::string_view> forms;  // the second words a two-word verb takes
  for (const ScriptVerb& v : verbs()) {
    if (v.verb == verb) found = &v;
    if (v.verb.size() > verb.size() && v.verb.starts_with(verb) && v.verb[verb.size()] == ' ')
      forms.push_back(v.verb.substr(verb.size() + 1));
  }
  if (!forms.empty()) {
    const std::string_view form = next_word(rest);
    for (const ScriptVerb& v : verbs())
      if (v.verb.size() == verb.size() + 1 + form.size() && v.verb.starts_with(verb) &&
          v.verb.ends_with(form) && v.verb[verb.size()] == ' ')
        found = &v;
    if (!found) {
      std::string takes = std::string(verb) + " takes ";
      for (std::size_t i = 0; i < forms.size(); ++i)
        takes += std::string(i == 0                  ? ""
                             : i + 1 == forms.size() ? " or "
                                                     : ", ") +
                 std::string(forms[i]);
      throw ScriptSyntaxError(takes);
    }
  }
  if (!found) throw ScriptSyntaxError("unknown verb \"" + std::string(verb) + "\"");
  std::string out = found->run(*this, rest);
  app_->after_use();
  return out;
}

int run_script(std::istream& in, std::ostream& out, std::ostream& err, ScriptDriver& driver) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    try {
      if (auto result = driver.run_line(line)) out << *result << '\n' << std::flush;
    } catch (const ScriptSyntaxError& e) {
      err << "quorin-script: line " << number << ": " << e.what() << '\n';
      return 2;
    }
  }
  return 0;
}

namespace {

// `text` broken into lines of at most `width` characters at blanks.
std::vector<std::string> wrapped(std::string_view text, std::size_t width) {
  std::vector<std::string> lines(1);
  std::string_view rest = text;
  for (std::string_view w = next_word(rest); !w.empty(); w = next_word(rest)) {
    if (!lines.back().empty() && lines.back().size() + 1 + w.size() > width) lines.emplace_back();
    if (!lines.back().empty()) lines.back() += ' ';
    lines.back() += w;
  }
  return lines;
}

// A text as roff body text: hyphens as minus signs, backslashes escaped, a leading dot or
// quote kept from being read as a request.
std::string roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '-')
      out += "\\-";
    else if (c == '\\')
      out += "\\e";
    else
      out += c;
  }
  if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
  return out;
}

}  // namespace

std::string script_help() {
  constexpr std::size_t kColumn = 31, kWidth = 95;
  std::string out = R"(Usage: quorin-script [SCRIPT]

Runs the program headless, one command per line, from SCRIPT or standard input. Blank lines
and lines starting with # are skipped; every other line prints exactly one JSON line:
{"error": "..."} when it fails, otherwise the result below. A run-time error is reported and
the script goes on; a line that is not a command ends the script with status 2, naming it.

)";
  for (const ScriptVerb& v : ScriptDriver::verbs()) {
    std::string form = "  " + std::string(v.verb);
    if (!v.arguments.empty()) form += " " + std::string(v.arguments);
    const std::vector<std::string> lines = wrapped(v.help, kWidth - kColumn);
    if (form.size() + 2 > kColumn) {  // at least two blanks before the text
      out += form + "\n";
      form.clear();
    }
    for (const std::string& line : lines) {
      form.resize(kColumn, ' ');
      out += form + line + "\n";
      form.clear();
    }
  }
  out += R"(
Values are JSON: numbers, [] (empty), rows [1, 2], matrices [[1, 2], [3, 4]], texts "abc",
records {"field": ...}, cell tables {"$cell": [[...]]}; see scripting.md among the documents
(docs/ in the source, /usr/share/doc/quorin when installed).
The program's own console line (a corrupt dyno file) goes to standard error.
After every line the session (curves, counters, held curves, selections) is kept in
FOLDER/data/session.autosave; a script that ends lets it go, a killed one leaves it for restore.
)";
  return out;
}

std::string script_manual_commands() {
  std::string out;
  for (const ScriptVerb& v : ScriptDriver::verbs()) {
    out += ".TP\n";
    if (v.arguments.empty())
      out += ".B \"" + roff(v.verb) + "\"\n";
    else
      out += ".BI \"" + roff(v.verb) + "\" \" " + roff(v.arguments) + "\"\n";
    std::string text = roff(v.help);
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    out += text + ".\n";
  }
  return out;
}

}  // namespace quorin
