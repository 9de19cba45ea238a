#pragma once
// The menus in words, written from the action table, so that --help, the manual page and the
// documents name the same items, keys and uses as the menus themselves.
#include <string>

namespace quorin {

// Plain text for --help: each menu item with its key and use, wrapped at 78 columns.
std::string menu_help_text();
// The same as a section of a manual page (roff).
std::string menu_manual_text();
// The same as a Markdown table (Item | Key | Menu | What it does), as the README and the user
// guide show it.
std::string menu_markdown_table();

}  // namespace quorin
