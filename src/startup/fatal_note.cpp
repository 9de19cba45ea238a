#include "startup/fatal_note.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace quorin {
namespace {

// Composed before anything goes wrong: a signal handler may only write what is ready.
std::array<char, 2048> note{};
std::size_t note_length = 0;

constexpr std::array<int, 5> kFatalSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void write_note(const char* cause) {
  ssize_t ignored = ::write(STDERR_FILENO, cause, std::strlen(cause));
  ignored = ::write(STDERR_FILENO, note.data(), note_length);
  (void)ignored;
}

extern "C" void on_fatal_signal(int signal) {
  const char* cause = nullptr;
  switch (signal) {
    case SIGSEGV: cause = "quorin: ended by a fatal fault (a bad memory access); "; break;
    case SIGBUS: cause = "quorin: ended by a fatal fault (a bad memory access); "; break;
    case SIGFPE: cause = "quorin: ended by a fatal fault (an arithmetic fault); "; break;
    case SIGILL: cause = "quorin: ended by a fatal fault (an illegal instruction); "; break;
    default: cause = "quorin: ended by a fatal fault (aborted); "; break;
  }
  write_note(cause);
  // The handler was installed to run once: the signal now ends the program as it would have.
  std::signal(signal, SIG_DFL);
  ::raise(signal);
}

[[noreturn]] void on_terminate() {
  write_note("quorin: ended by an uncaught failure; ");
  std::signal(SIGABRT, SIG_DFL);
  std::abort();
}

}  // namespace

void install_fatal_note(const std::filesystem::path& session_file) {
  const std::string text = "the session up to its last change is kept in \"" +
                           session_file.string() + "\" and is offered at the next start.\n";
  note_length = std::min(text.size(), note.size());
  std::memcpy(note.data(), text.data(), note_length);
  for (int s : kFatalSignals) {
    struct sigaction action {};
    action.sa_handler = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(s, &action, nullptr);
  }
  std::set_terminate(on_terminate);
}

}  // namespace quorin
