#include "app/script_driver.h"

#include <cctype>
#include <charconv>
#include <functional>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>

#include "services/gfx/properties.h"
#include "services/runtime_error.h"
#include "services/varfile.h"
#include "startup/comparison_tools.h"
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

std::optional<std::string> ScriptDriver::run_line(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() == '#') return std::nullopt;
  std::string_view rest = line;
  std::string_view verb = next_word(rest);
  std::string out = run_verb(verb, rest);
  app_->after_use();
  return out;
}

std::string ScriptDriver::run_verb(std::string_view verb, std::string_view rest) {
  Program& p = program();
  ScriptedDialogs& dialogs_ = dialogs();
  // Runs `work` at the command boundary and turns a run-time error into the error line. The
  // program is looked up when the work has run: `start` replaces it.
  auto boundary = [this](const std::function<std::string()>& work) -> std::string {
    std::string out;
    if (program().guarded([&] { out = work(); })) return out;
    return error(program().last_error.value_or("error"));
  };

  if (verb == "call") {
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
    return boundary([&] {
      std::vector<Value> out = p.call(name, nargout, std::move(inputs));
      json arr = json::array();
      for (const auto& v : out) arr.push_back(to_json(v));
      return line_of(json{{"outputs", arr}});
    });
  }
  if (verb == "dialog") {
    std::string_view kind = next_word(rest);
    if (kind == "cancel") {
      dialogs_.push(DialogResult{});
      return ok();
    }
    if (kind == "print") {
      if (rest.empty()) throw ScriptSyntaxError("dialog print needs FILE.pdf or cancel");
      dialogs_.push_print(rest == "cancel" ? PrintAnswer{} : PrintAnswer{false, std::string(rest)});
      return ok();
    }
    if (kind == "input") {
      if (rest.empty()) throw ScriptSyntaxError("dialog input needs TEXT, a JSON array or cancel");
      if (rest == "cancel") {
        dialogs_.push_input(std::nullopt);
        return ok();
      }
      std::vector<std::string> answers;
      if (rest.front() == '[') {
        json arr = json::parse(rest, nullptr, false);
        if (arr.is_discarded() || !arr.is_array())
          throw ScriptSyntaxError("the answers of dialog input must be a JSON array");
        for (const auto& a : arr)
          answers.push_back(a.is_string() ? a.get<std::string>() : a.dump());
      } else {
        answers.emplace_back(rest);
      }
      dialogs_.push_input(std::move(answers));
      return ok();
    }
    if (kind != "open" && kind != "save")
      throw ScriptSyntaxError("dialog takes open, save, print, input or cancel");
    std::string folder(next_word(rest));
    std::string file(rest);
    if (folder.empty() || file.empty())
      throw ScriptSyntaxError("dialog open|save needs FOLDER and FILE");
    if (folder.back() != '/') folder += '/';
    dialogs_.push(DialogResult{false, file, folder});
    return ok();
  }
  if (verb == "global") {
    std::string name(next_word(rest));
    return boundary([&] { return value_line(global_value(p.globals, name)); });
  }
  if (verb == "start") {
    std::filesystem::path folder = rest.empty() ? start_folder_ : std::filesystem::path(rest);
    restart(folder);
    return boundary([&] {
      if (!app_->start()) throw RuntimeError(program().last_error.value_or("start-up failed"));
      return ok();
    });
  }
  if (verb == "restore") {
    const int which = rest.empty() ? 1 : parse_int(next_word(rest), "N");
    return boundary([&] {
      if (which < 1) throw RuntimeError("restore N counts the waiting sessions from 1.");
      app_->kept_session().restore(program(), static_cast<std::size_t>(which - 1));
      return ok();
    });
  }
  if (verb == "waiting") {
    return boundary([&] {
      std::vector<double> curves;
      for (const KeptSession::Waiting& w : app_->kept_session().waiting_sessions())
        curves.push_back(static_cast<double>(w.curves));
      return value_line(Value::row(std::move(curves)));
    });
  }
  if (verb == "reopen") {
    return boundary([&] {
      if (!program().run_command(kReopenCommand))
        throw RuntimeError(program().last_error.value_or("error"));
      return ok();
    });
  }
  if (verb == "window") {
    int n = parse_int(next_word(rest), "N");
    return boundary([&] {
      if (!p.gfx.window(n)) throw RuntimeError("Window " + std::to_string(n) + " is not open.");
      p.gfx.figure(n);
      return ok();
    });
  }
  if (verb == "set") {
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
    return boundary([&] {
      gfx::set_property(p.gfx, named_control(p.gfx, tag, false), prop, v);
      return ok();
    });
  }
  if (verb == "get") {
    std::string tag(next_word(rest));
    std::string prop(next_word(rest));
    if (tag.empty() || prop.empty()) throw ScriptSyntaxError("get needs TAG PROPERTY");
    return boundary([&] {
      return value_line(gfx::get_property(p.gfx, named_control(p.gfx, tag, true), prop));
    });
  }
  if (verb == "press") {
    if (rest.empty()) throw ScriptSyntaxError("press needs a Tag or a label");
    std::string callback;
    std::string pressed = boundary([&] {
      gfx::Control& c = named_control(p.gfx, rest, true);
      if (c.style == gfx::Control::Style::CheckBox || c.style == gfx::Control::Style::Radio)
        c.value = c.value == 1 ? 0 : 1;  // a click toggles the box first
      p.gfx.figure(p.gfx.window_of(c.handle()).number);
      p.gfx.touch();
      callback = c.callback;
      return ok();
    });
    if (pressed != ok() || callback.empty()) return pressed;
    if (!p.run_command(callback)) return error(p.last_error.value_or("error"));
    return ok();
  }
  if (verb == "menu") {
    const int n = parse_int(next_word(rest), "N");
    if (rest.empty()) throw ScriptSyntaxError("menu needs N LABEL");
    std::string callback;
    std::string found = boundary([&] {
      callback = menu_item(p.gfx, n, rest).callback;
      p.gfx.figure(n);  // the window whose menu is used becomes the current window
      return ok();
    });
    if (found != ok()) return found;
    if (!p.run_command(callback)) return error(p.last_error.value_or("error"));
    return ok();
  }
  if (verb == "legend") {
    const int curve = parse_int(next_word(rest), "CURVE");
    std::string callback;
    std::string found = boundary([&] {
      callback = legend_marker_command(p, curve);
      p.gfx.figure(2);
      return ok();
    });
    if (found != ok()) return found;
    if (!p.run_command(callback)) return error(p.last_error.value_or("error"));
    return ok();
  }
  if (verb == "clipboard") {
    return line_of(json{{"value", p.clipboard->text()}});
  }
  if (verb == "command") {
    if (rest.empty()) throw ScriptSyntaxError("command needs a command text");
    if (!p.run_command(rest)) return error(p.last_error.value_or("error"));
    return ok();
  }
  if (verb == "snapshot") {
    int n = parse_int(next_word(rest), "N");
    std::string file(rest);
    if (file.empty()) throw ScriptSyntaxError("snapshot needs N FILE.png");
    return boundary([&] {
      if (!p.gfx.window(n)) throw RuntimeError("Window " + std::to_string(n) + " is not open.");
      if (!hooks_.snapshot) throw RuntimeError("This driver cannot render windows.");
      if (!hooks_.snapshot(p.gfx, n, file)) throw RuntimeError("Could not write \"" + file + "\".");
      return ok();
    });
  }
  if (verb == "objects") {
    int n = parse_int(next_word(rest), "N");
    return boundary([&] {
      gfx::Window* w = p.gfx.window(n);
      if (!w) throw RuntimeError("Window " + std::to_string(n) + " is not open.");
      return line_of(json{{"value", object_tree(p.gfx, *w)}});
    });
  }
  throw ScriptSyntaxError("unknown verb \"" + std::string(verb) + "\"");
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

std::string_view script_help() {
  return R"(Usage: quorin-script [SCRIPT]

Runs the program headless, one command per line, from SCRIPT or standard input. Blank lines
and lines starting with # are skipped; every other line prints exactly one JSON line:
{"error": "..."} when it fails, otherwise the result below. A run-time error is reported and
the script goes on; a line that is not a command ends the script with status 2, naming it.

  start [FOLDER]               run the start-up sequence in FOLDER (default: the start folder)
  restore [N]                  bring back a session a run that did not end cleanly left in
                               the start folder (after start): the newest, or the Nth newest
  waiting                      print the stored-curve counts of the waiting sessions, newest
                               first, as {"value": [...]}
  call NAME NARGOUT [INPUTS]   run a program function; INPUTS is a JSON array of values;
                               prints {"outputs": [...]}
  dialog open|save FOLDER FILE answer the next file dialog with FOLDER and FILE
  dialog cancel                cancel the next file dialog
  dialog print FILE.pdf        answer the next print dialog with a PDF printer writing
                               FILE.pdf, so that PRINT prints into that file
  dialog print cancel          cancel the next print dialog (with no answer queued, PRINT
                               is only recorded and prints nothing)
  global NAME                  print a global as {"value": ...}
  window N                     make window N current
  set TAG PROPERTY JSON        set a property of a control of the current window
  get TAG_OR_LABEL PROPERTY    print a property as {"value": ...}
  press TAG_OR_LABEL           use a control as a click does (check boxes and radio buttons
                               toggle first), then run its command
  dialog input TEXT|[...]      answer the next input dialog (a JSON array for several fields)
  dialog input cancel          cancel the next input dialog
  menu N LABEL                 use the item LABEL of window N's context menu
  legend CURVE                 click the legend marker of a curve (shows or hides the curve)
  clipboard                    print the clipboard's text as {"value": ...}
  command TEXT                 run a command text such as close
  snapshot N FILE.png          render window N to a PNG file
  objects N                    print window N's object tree as {"value": ...}

Values are JSON: numbers, [] (empty), rows [1, 2], matrices [[1, 2], [3, 4]], texts "abc",
records {"field": ...}, cell tables {"$cell": [[...]]}; see docs/scripting.md.
The program's own console line (a corrupt dyno file) goes to standard error.
After every line the session (curves, counters, held curves, selections) is kept in
FOLDER/data/session.autosave; a script that ends lets it go, a killed one leaves it for restore.
)";
}

}  // namespace quorin
