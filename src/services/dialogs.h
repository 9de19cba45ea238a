// File dialogs, the help window and printing as interfaces, so actions run the same on screen
// and headless.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quorin {

// The answer of a file dialog: a file name and its folder (ending in the separator), or
// cancelled (the program's 0 and 0).
struct DialogResult {
  bool cancelled = true;
  std::string file;
  std::string folder;
};

// One field of an input dialog: its prompt, the text it starts with and, when not empty, the
// only answers it offers (a list to choose from).
struct InputField {
  std::string prompt;
  std::string initial;
  std::vector<std::string> choices;
};
// The answers of an input dialog, one per field; nullopt when the user cancelled.
using InputAnswer = std::optional<std::vector<std::string>>;

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // `filter` is a folder followed by a pattern ("/home/me/data/*.pvp"); `title` the caption.
  virtual DialogResult open_file(const std::string& filter, const std::string& title) = 0;
  virtual DialogResult save_file(const std::string& filter, const std::string& title) = 0;
  // Asks for a few values at once. Dialogs that cannot ask anyone cancel.
  virtual InputAnswer input(const std::string& title, const std::vector<InputField>& fields) {
    (void)title;
    (void)fields;
    return std::nullopt;
  }
  // Opens document `name` (a file name such as "user-guide.md") in the help window, where
  // the links between the documents are followed. Throws RuntimeError when the document
  // cannot be found. Dialogs that show nothing do nothing.
  virtual void open_document(const std::string& name) { (void)name; }
};

// The answer of a print dialog: cancelled, or a PDF printer writing the file `pdf`.
struct PrintAnswer {
  bool cancelled = true;
  std::string pdf;
};

// Headless dialogs answered from a queue (the script driver and tests). With nothing queued
// a file dialog is cancelled. Print dialogs have their own queue, so an answer meant for a
// file dialog is never taken by a print dialog or the other way round.
class ScriptedDialogs : public Dialogs {
 public:
  void push(DialogResult r) { queue_.push_back(std::move(r)); }
  void push_print(PrintAnswer a) { print_queue_.push_back(std::move(a)); }
  // Queues the answer of the next input dialog (nullopt: cancel it). An answer with fewer
  // values than the dialog has fields leaves the other fields at their initial text.
  void push_input(InputAnswer a) { input_queue_.push_back(std::move(a)); }
  // Takes the next queued print-dialog answer; nothing when none is queued.
  std::optional<PrintAnswer> next_print();
  DialogResult open_file(const std::string& filter, const std::string& title) override;
  DialogResult save_file(const std::string& filter, const std::string& title) override;
  // With nothing queued an input dialog is cancelled.
  InputAnswer input(const std::string& title, const std::vector<InputField>& fields) override;
  // Records the document; nothing is shown.
  void open_document(const std::string& name) override { documents_.push_back(name); }
  const std::string& last_filter() const { return last_filter_; }
  const std::string& last_title() const { return last_title_; }
  // The documents opened, in order.
  const std::vector<std::string>& documents_opened() const { return documents_; }

 private:
  DialogResult next(const std::string& filter, const std::string& title);
  std::deque<DialogResult> queue_;
  std::deque<PrintAnswer> print_queue_;
  std::deque<InputAnswer> input_queue_;
  std::string last_filter_, last_title_;
  std::vector<std::string> documents_;
};

// Printing a window through the system's print dialog.
class Printer {
 public:
  virtual ~Printer() = default;
  // Prints window `number` as its paper settings say; with `show_dialog` the print dialog
  // comes first. Returns false when the user cancelled.
  virtual bool print_window(int number, bool show_dialog) = 0;
};

// Headless printing: records each request and prints nothing.
class ScriptedPrinter : public Printer {
 public:
  struct Request {
    int number;
    bool show_dialog;
  };
  bool print_window(int number, bool show_dialog) override {
    requests.push_back({number, show_dialog});
    return true;
  }
  std::vector<Request> requests;
};

}  // namespace quorin
