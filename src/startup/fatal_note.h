// The last words of a program that dies: a fatal signal or an uncaught failure writes one note
// to standard error saying where the session up to its last change is kept, then the program
// ends as it would have.
#pragma once

#include <filesystem>

namespace quorin {

// Installs the note for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT and for std::terminate.
// `session_file` is where the session is kept. Call once, early in main.
void install_fatal_note(const std::filesystem::path& session_file);

}  // namespace quorin
