#include "services/settings.h"

namespace quorin {

std::string settings_key_part(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  for (char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    key += plain ? c : '_';
  }
  if (key.empty()) key = "_";
  return key;
}

}  // namespace quorin
