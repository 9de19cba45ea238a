#include "annotation/title.h"

#include "annotation/messages.h"
#include "services/gfx/properties.h"
#include "services/runtime_error.h"

namespace quorin::annotation {
namespace {

enum class Which { Title, XLabel, YLabel };

gfx::Handle annotate(gfx::Model& m, Which which, std::string text, const PropertyPairs& pairs) {
  gfx::Axes& axes = m.current_axes();
  const gfx::Handle h = which == Which::Title    ? axes.title
                        : which == Which::XLabel ? axes.xlabel
                                                 : axes.ylabel;
  gfx::Text& t = m.get<gfx::Text>(h);
  PropertyPairs settings{
      {"FontAngle", Value::text(axes.font_angle)},
      {"FontName", Value::text(axes.font_name)},
      {"FontSize", Value::number(axes.font_size)},
      {"FontWeight", Value::text(axes.font_weight)},
  };
  // A y label keeps the rotation it was made with (reading upwards).
  if (which == Which::Title) settings.emplace_back("Rotation", Value::number(0));
  settings.emplace_back("String", Value::text(std::move(text)));
  settings.insert(settings.end(), pairs.begin(), pairs.end());
  gfx::set_properties(m, t, settings);
  return h;
}

}  // namespace

PropertyPairs property_pairs(std::span<const Value> args) {
  if (args.size() % 2 != 0) throw RuntimeError(std::string(kIncorrectArgumentCount));
  PropertyPairs pairs;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    if (!args[i].is_text())
      throw RuntimeError("Property names must be texts; argument " + std::to_string(i + 2) +
                         " is " + describe(args[i]) + ".");
    pairs.emplace_back(args[i].str(), args[i + 1]);
  }
  return pairs;
}

gfx::Handle title(gfx::Model& m, std::string text, const PropertyPairs& pairs) {
  return annotate(m, Which::Title, std::move(text), pairs);
}

gfx::Handle xlabel(gfx::Model& m, std::string text, const PropertyPairs& pairs) {
  return annotate(m, Which::XLabel, std::move(text), pairs);
}

gfx::Handle ylabel(gfx::Model& m, std::string text, const PropertyPairs& pairs) {
  return annotate(m, Which::YLabel, std::move(text), pairs);
}

}  // namespace quorin::annotation
