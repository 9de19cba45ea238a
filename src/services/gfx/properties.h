// Getting and setting graphics properties by name over the typed members, one table per
// kind of object. Used by the data-driven window builders, title/xlabel/ylabel and the
// script driver.
#pragma once

#include <string_view>
#include <vector>

#include "services/gfx/model.h"
#include "services/value.h"

namespace quorin::gfx {

// Property names are matched without regard to letter case ("Tag", "tag"). Values use the
// program's forms: popup Value is the 1-based row, edit String its text, check box and radio
// button Value 1 = on, colours [r g b] in 0..1, positions [left bottom width height].
// Throws RuntimeError for an unknown property or an invalid value, changing nothing.
Value get_property(Model& m, Object& o, std::string_view name);
void set_property(Model& m, Object& o, std::string_view name, const Value& v);

// Applies name/value pairs in order.
void set_properties(Model& m, Object& o, const std::vector<std::pair<std::string, Value>>& pairs);

}  // namespace quorin::gfx
