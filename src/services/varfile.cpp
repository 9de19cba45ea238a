#include "services/varfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <string_view>

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include "services/file_io.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

using json = nlohmann::ordered_json;

constexpr std::string_view kFormat = "quorin-variables";
constexpr int kVersion = 1;
// The largest size a file may give an array in one dimension; only an empty array can be
// larger, and such an array is neither read nor written.
constexpr double kMaxSize = 1e15;

// ---------------------------------------------------------------------------------------------
// Where in a document a value sits, for error messages ("compvel{2,1}(3).data"). Built only when
// an error is reported.
struct Where {
  const Where* parent = nullptr;
  std::string_view key;    // a variable or field name, or
  std::size_t index = 0;   // a 1-based element number when key is empty

  std::string text() const {
    std::string up = parent ? parent->text() : std::string();
    if (!key.empty()) return up.empty() ? std::string(key) : up + "." + std::string(key);
    return up + "(" + std::to_string(index) + ")";
  }
};

[[noreturn]] void malformed(const Where& w, const std::string& what) {
  throw RuntimeError(w.text() + ": " + what);
}

// ---------------------------------------------------------------------------------------------
// One decoder over two JSON trees: the simdjson DOM (files, script texts) and nlohmann's
// ordered_json (values built in memory). Each adapter gives the same small set of questions.
enum class NodeKind { Number, String, Array, Object, Other };

struct DomOps {
  using Node = simdjson::dom::element;
  static NodeKind kind(const Node& n) {
    switch (n.type()) {
      case simdjson::dom::element_type::INT64:
      case simdjson::dom::element_type::UINT64:
      case simdjson::dom::element_type::DOUBLE: return NodeKind::Number;
      case simdjson::dom::element_type::STRING: return NodeKind::String;
      case simdjson::dom::element_type::ARRAY: return NodeKind::Array;
      case simdjson::dom::element_type::OBJECT: return NodeKind::Object;
      default: return NodeKind::Other;
    }
  }
  static double number(const Node& n) { return n.get_double().value_unsafe(); }
  static std::string_view string(const Node& n) { return n.get_string().value_unsafe(); }
  static std::size_t size(const Node& n) { return n.get_array().value_unsafe().size(); }
  template <class F> static void items(const Node& n, F&& f) {
    const simdjson::dom::array a = n.get_array().value_unsafe();  // held: the result is a temporary
    for (Node e : a) f(e);
  }
  template <class F> static void members(const Node& n, F&& f) {
    const simdjson::dom::object o = n.get_object().value_unsafe();
    for (auto kv : o) f(kv.key, kv.value);
  }
};

struct JsonOps {
  using Node = json;
  static NodeKind kind(const Node& n) {
    if (n.is_number()) return NodeKind::Number;
    if (n.is_string()) return NodeKind::String;
    if (n.is_array()) return NodeKind::Array;
    if (n.is_object()) return NodeKind::Object;
    return NodeKind::Other;
  }
  static double number(const Node& n) { return n.get<double>(); }
  static std::string_view string(const Node& n) { return n.get_ref<const std::string&>(); }
  static std::size_t size(const Node& n) { return n.size(); }
  template <class F> static void items(const Node& n, F&& f) {
    for (const auto& e : n) f(e);
  }
  template <class F> static void members(const Node& n, F&& f) {
    for (const auto& [k, v] : n.items()) f(std::string_view(k), v);
  }
};

template <class Ops>
class Decoder {
 public:
  using Node = typename Ops::Node;

  static Value value(const Node& n, const Where& w) {
    switch (Ops::kind(n)) {
      case NodeKind::Number: return Value::number(Ops::number(n));
      case NodeKind::String: return Value::text(std::string(Ops::string(n)));
      case NodeKind::Array: return numeric_array(n, w);
      case NodeKind::Object: return object(n, w);
      case NodeKind::Other: break;
    }
    malformed(w, "true, false and null are not values");
  }

 private:
  // A number, or {"$double": "NaN" | "Inf" | "-Inf"}.
  static double number(const Node& n, const Where& w) {
    const NodeKind k = Ops::kind(n);
    if (k == NodeKind::Number) return Ops::number(n);
    if (k == NodeKind::Object) {
      std::optional<double> v;
      std::size_t keys = 0;
      Ops::members(n, [&](std::string_view key, const Node& e) {
        ++keys;
        if (key == "$double") v = special(e, w);
      });
      if (v && keys == 1) return *v;
    }
    malformed(w, "expected a number");
  }

  static double special(const Node& n, const Where& w) {
    if (Ops::kind(n) == NodeKind::Number) return Ops::number(n);
    if (Ops::kind(n) == NodeKind::String) {
      const std::string_view s = Ops::string(n);
      if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
      if (s == "Inf") return std::numeric_limits<double>::infinity();
      if (s == "-Inf") return -std::numeric_limits<double>::infinity();
    }
    malformed(w, "\"$double\" must be \"NaN\", \"Inf\" or \"-Inf\"");
  }

  static std::vector<double> numbers(const Node& n, const Where& w) {
    std::vector<double> out;
    out.reserve(Ops::size(n));
    std::size_t i = 0;
    Ops::items(n, [&](const Node& e) {
      ++i;
      if (Ops::kind(e) == NodeKind::Number) {
        out.push_back(Ops::number(e));
      } else {
        const Where we{&w, {}, i};
        out.push_back(number(e, we));
      }
    });
    return out;
  }

  // [] ; [1, 2, 3] (a row) ; [[1, 2], [3, 4]] (rows of a matrix).
  static Value numeric_array(const Node& n, const Where& w) {
    const std::size_t count = Ops::size(n);
    if (count == 0) return Value();
    bool nested = false, flat = false;
    Ops::items(n, [&](const Node& e) { (Ops::kind(e) == NodeKind::Array ? nested : flat) = true; });
    if (nested && flat) malformed(w, "an array mixes numbers and rows");
    if (flat) return Value::row(numbers(n, w));
    // Rows: gather in row order, then store in column order.
    std::vector<std::vector<double>> rows;
    rows.reserve(count);
    Ops::items(n, [&](const Node& e) {
      const Where wr{&w, {}, rows.size() + 1};
      rows.push_back(numbers(e, wr));
      if (rows.back().size() != rows.front().size()) malformed(wr, "the rows of a matrix differ in length");
    });
    const std::size_t r = rows.size(), c = rows.front().size();
    std::vector<double> data(r * c);
    for (std::size_t i = 0; i < r; ++i)
      for (std::size_t j = 0; j < c; ++j) data[j * r + i] = rows[i][j];
    return Value::numeric({r, c}, std::move(data));
  }

  static Value::Dims dims(const Node& n, const Where& w) {
    if (Ops::kind(n) != NodeKind::Array) malformed(w, "\"$size\" must be a list of sizes");
    Value::Dims d;
    Ops::items(n, [&](const Node& e) {
      const double v = Ops::kind(e) == NodeKind::Number ? Ops::number(e) : -1;
      if (!(v >= 0 && v <= kMaxSize && v == std::floor(v)))
        malformed(w, "\"$size\" must hold whole numbers");
      d.push_back(static_cast<std::size_t>(v));
    });
    if (d.size() < 2) malformed(w, "\"$size\" needs at least two sizes");
    return d;
  }

  static std::size_t product(const Value::Dims& d, const Where& w) {
    std::size_t p = 1;
    for (std::size_t v : d) {
      if (v != 0 && p > std::numeric_limits<std::size_t>::max() / v) malformed(w, "\"$size\" is too large");
      p *= v;
    }
    return p;
  }

  static Value object(const Node& n, const Where& w) {
    // Keys beginning with '$' mark an encoded form; otherwise the object is one record.
    std::optional<Node> dbl, cell, recs, size, fields;
    bool plain = false, special_key = false;
    Ops::members(n, [&](std::string_view key, const Node& e) {
      if (key.empty() || key.front() != '$') {
        plain = true;
        return;
      }
      special_key = true;
      std::optional<Node>* slot = key == "$double"    ? &dbl
                                  : key == "$cell"    ? &cell
                                  : key == "$records" ? &recs
                                  : key == "$size"    ? &size
                                  : key == "$fields"  ? &fields
                                                      : nullptr;
      if (!slot) malformed(w, "unknown key \"" + std::string(key) + "\"");
      if (*slot) malformed(w, "repeated key \"" + std::string(key) + "\"");
      slot->emplace(e);
    });
    if (!special_key) return record(n, w);
    if (plain) malformed(w, "an object mixes field names and keys beginning with '$'");
    if (int(bool(dbl)) + int(bool(cell)) + int(bool(recs)) != 1)
      malformed(w, "an object needs exactly one of \"$double\", \"$cell\" and \"$records\"");
    if (fields && !recs) malformed(w, "\"$fields\" belongs to \"$records\"");
    if (dbl) return numeric(*dbl, size, w);
    if (cell) return cells(*cell, size, w);
    return records(*recs, size, fields, w);
  }

  static Value numeric(const Node& data, const std::optional<Node>& size, const Where& w) {
    if (!size) return Value::number(special(data, w));
    if (Ops::kind(data) != NodeKind::Array) malformed(w, "\"$double\" with \"$size\" must be a list");
    Value::Dims d = dims(*size, w);
    std::vector<double> v = numbers(data, w);
    if (v.size() != product(d, w)) malformed(w, "\"$double\" does not hold as many numbers as \"$size\" says");
    return Value::numeric(std::move(d), std::move(v));
  }

  static Value cells(const Node& data, const std::optional<Node>& size, const Where& w) {
    if (Ops::kind(data) != NodeKind::Array) malformed(w, "\"$cell\" must be a list");
    std::vector<Value> elems;
    if (size) {  // all elements in column order
      Value::Dims d = dims(*size, w);
      elems.reserve(Ops::size(data));
      Ops::items(data, [&](const Node& e) { elems.push_back(value(e, Where{&w, {}, elems.size() + 1})); });
      if (elems.size() != product(d, w)) malformed(w, "\"$cell\" does not hold as many values as \"$size\" says");
      return Value::cell(std::move(d), std::move(elems));
    }
    // rows of values
    std::vector<std::vector<Value>> rows;
    Ops::items(data, [&](const Node& row) {
      const Where wr{&w, {}, rows.size() + 1};
      if (Ops::kind(row) != NodeKind::Array) malformed(wr, "a row of \"$cell\" must be a list");
      rows.emplace_back();
      Ops::items(row, [&](const Node& e) { rows.back().push_back(value(e, Where{&wr, {}, rows.back().size() + 1})); });
      if (rows.back().size() != rows.front().size()) malformed(wr, "the rows of a cell table differ in length");
    });
    const std::size_t r = rows.size(), c = r ? rows.front().size() : 0;
    elems.resize(r * c);
    for (std::size_t i = 0; i < r; ++i)
      for (std::size_t j = 0; j < c; ++j) elems[j * r + i] = std::move(rows[i][j]);
    return Value::cell({r, c}, std::move(elems));
  }

  // The fields of one record object, in the order of `names` (which the first record sets
  // when it is empty).
  static std::vector<Value> record_values(const Node& n, std::vector<std::string>& names, bool fixed,
                                          const Where& w) {
    if (Ops::kind(n) != NodeKind::Object) malformed(w, "a record must be an object");
    std::vector<std::optional<Value>> slots(names.size());
    Ops::members(n, [&](std::string_view key, const Node& e) {
      const Where wf{&w, key, 0};
      if (key.empty() || key.front() == '$') malformed(wf, "a field name must not begin with '$'");
      std::size_t k = 0;
      while (k < names.size() && names[k] != key) ++k;
      if (k == names.size()) {
        if (fixed) malformed(wf, "a field that the other records do not have");
        names.emplace_back(key);
        slots.emplace_back();
      }
      if (slots[k]) malformed(wf, "repeated field name");
      slots[k] = value(e, wf);
    });
    std::vector<Value> out;
    out.reserve(slots.size());
    for (std::size_t k = 0; k < slots.size(); ++k) {
      if (!slots[k]) malformed(w, "the field \"" + names[k] + "\" is missing");
      out.push_back(std::move(*slots[k]));
    }
    return out;
  }

  static Value record(const Node& n, const Where& w) {
    std::vector<std::string> names;
    std::vector<Value> values = record_values(n, names, false, w);
    std::vector<std::vector<Value>> elems;
    elems.push_back(std::move(values));
    return Value::records({1, 1}, std::move(names), std::move(elems));
  }

  static Value records(const Node& data, const std::optional<Node>& size, const std::optional<Node>& fields,
                       const Where& w) {
    if (Ops::kind(data) != NodeKind::Array) malformed(w, "\"$records\" must be a list");
    std::vector<std::string> names;
    bool fixed = false;
    if (fields) {
      if (Ops::kind(*fields) != NodeKind::Array) malformed(w, "\"$fields\" must be a list of names");
      Ops::items(*fields, [&](const Node& e) {
        if (Ops::kind(e) != NodeKind::String) malformed(w, "\"$fields\" must be a list of names");
        names.emplace_back(Ops::string(e));
      });
      if (std::set<std::string>(names.begin(), names.end()).size() != names.size())
        malformed(w, "\"$fields\" repeats a name");
      fixed = true;
    }
    std::vector<std::vector<Value>> elems;
    elems.reserve(Ops::size(data));
    Ops::items(data, [&](const Node& e) {
      const Where we{&w, {}, elems.size() + 1};
      elems.push_back(record_values(e, names, fixed, we));
      fixed = true;
    });
    Value::Dims d = size ? dims(*size, w) : Value::Dims{elems.empty() ? 0u : 1u, elems.size()};
    if (elems.size() != product(d, w)) malformed(w, "\"$records\" does not hold as many records as \"$size\" says");
    return Value::records(std::move(d), std::move(names), std::move(elems));
  }
};

// ---------------------------------------------------------------------------------------------
// Encoding.

json number_json(double v) {
  if (std::isnan(v)) return json{{"$double", "NaN"}};
  if (std::isinf(v)) return json{{"$double", v > 0 ? "Inf" : "-Inf"}};
  // Whole numbers print as integers; -0 keeps its sign as a float.
  constexpr double two63 = 9223372036854775808.0;
  if (v == std::floor(v) && v > -two63 && v < two63 && !(v == 0 && std::signbit(v)))
    return json(static_cast<std::int64_t>(v));
  return json(v);
}

json numbers_json(const double* p, std::size_t n, std::size_t stride) {
  json a = json::array();
  a.get_ref<json::array_t&>().reserve(n);
  for (std::size_t i = 0; i < n; ++i) a.push_back(number_json(p[i * stride]));
  return a;
}

// Sizes a file can give back: a larger one fails the save rather than the next load.
json dims_json(const Value::Dims& d) {
  json a = json::array();
  for (std::size_t v : d) {
    if (static_cast<double>(v) > kMaxSize)
      throw RuntimeError("An array with a size of " + std::to_string(v) +
                         " cannot be saved: no size may exceed 10^15.");
    a.push_back(v);
  }
  return a;
}

json encode(const Value& v);

json encode_numeric(const Value& v) {
  const auto& d = v.dims();
  const auto& x = v.numbers();
  if (d == Value::Dims{0, 0}) return json::array();
  if (x.empty() || d.size() > 2) {
    json o = json::object();
    o["$size"] = dims_json(d);
    o["$double"] = numbers_json(x.data(), x.size(), 1);
    return o;
  }
  const std::size_t r = d[0], c = d[1];
  if (r == 1 && c == 1) return number_json(x[0]);
  if (r == 1) return numbers_json(x.data(), c, 1);
  json rows = json::array();
  rows.get_ref<json::array_t&>().reserve(r);
  for (std::size_t i = 0; i < r; ++i) rows.push_back(numbers_json(x.data() + i, c, r));  // row i
  return rows;
}

json encode_record(const Value& v, std::size_t element) {
  json o = json::object();
  for (const auto& name : v.field_names()) {
    if (name.empty() || name.front() == '$')
      throw RuntimeError("The field name '" + name + "' cannot be saved: field names must not begin with '$'.");
    o[name] = encode(v.field_of(element, name));
  }
  return o;
}

json encode_records(const Value& v) {
  if (v.dims() == Value::Dims{1, 1}) return encode_record(v, 1);
  json o = json::object();
  json list = json::array();
  for (std::size_t i = 1; i <= v.numel(); ++i) list.push_back(encode_record(v, i));
  o["$records"] = std::move(list);
  o["$size"] = dims_json(v.dims());
  if (v.numel() == 0) {
    json names = json::array();
    for (const auto& name : v.field_names()) names.push_back(name);
    o["$fields"] = std::move(names);
  }
  return o;
}

json encode_cell(const Value& v) {
  const auto& d = v.dims();
  const auto& c = v.cells();
  json o = json::object();
  if (d.size() > 2 || (c.empty() && d != Value::Dims{0, 0})) {
    json list = json::array();
    for (const auto& e : c) list.push_back(encode(e));
    o["$cell"] = std::move(list);
    o["$size"] = dims_json(d);
    return o;
  }
  json rows = json::array();
  for (std::size_t i = 0; i < (c.empty() ? 0 : d[0]); ++i) {
    json row = json::array();
    for (std::size_t j = 0; j < d[1]; ++j) row.push_back(encode(c[j * d[0] + i]));
    rows.push_back(std::move(row));
  }
  o["$cell"] = std::move(rows);
  return o;
}

json encode(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Numeric: return encode_numeric(v);
    case Value::Kind::Text: return json(v.str());
    case Value::Kind::Records: return encode_records(v);
    case Value::Kind::Cell: return encode_cell(v);
  }
  return json();
}

// Compact text of a JSON value; a text that is not UTF-8 cannot be written.
std::string dump(const json& j) {
  try {
    return j.dump();
  } catch (const nlohmann::json::exception&) {
    throw RuntimeError("A text is not valid UTF-8 and cannot be saved.");
  }
}

// ---------------------------------------------------------------------------------------------
// Files.

std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

[[noreturn]] void unreadable(const std::filesystem::path& p, const std::string& what) {
  throw RuntimeError("Unable to read variable file " + quoted(p) + ": " + what + ".");
}

simdjson::padded_string load_text(const std::filesystem::path& p) {
  FilePtr f = open_for_reading(p);
  if (!f) unreadable(p, std::strerror(errno));
  const std::uintmax_t size = check_readable(f.get(), p, kVariableFileLimit);
  simdjson::padded_string text(static_cast<std::size_t>(size));
  const std::size_t got = std::fread(text.data(), 1, text.size(), f.get());
  if (got != text.size()) unreadable(p, "the file could not be read whole");
  return text;
}

// One parser per thread, reused from file to file: its buffers stay mapped, which spares a
// multi-megabyte supplied-data file the page faults of fresh buffers on every load.
simdjson::dom::parser& file_parser() {
  thread_local simdjson::dom::parser parser;
  return parser;
}

// Reads the file and hands each variable (name, node) to `take`, in the file's order.
template <class F>
void read_variables(const std::filesystem::path& file, F&& take) {
  const simdjson::padded_string text = load_text(file);
  simdjson::dom::parser& parser = file_parser();
  simdjson::dom::element root;
  if (auto err = parser.parse(text).get(root))
    unreadable(file, std::string("it is not a complete JSON document (") + simdjson::error_message(err) + ")");
  simdjson::dom::object top;
  if (root.get_object().get(top)) unreadable(file, "it is not a variable file");
  std::string_view format;
  if (top["format"].get_string().get(format) || format != kFormat) unreadable(file, "it is not a variable file");
  int64_t version = 0;
  if (top["version"].get_int64().get(version)) unreadable(file, "it has no format version");
  if (version != kVersion)
    unreadable(file, "format version " + std::to_string(version) + " is not one this program reads");
  simdjson::dom::object vars;
  if (top["variables"].get_object().get(vars)) unreadable(file, "it holds no \"variables\" object");
  std::set<std::string_view> seen;
  for (auto kv : vars) {
    if (!seen.insert(kv.key).second) unreadable(file, "the variable '" + std::string(kv.key) + "' appears twice");
    take(kv.key, kv.value);
  }
}

Value decode_variable(const std::filesystem::path& file, std::string_view name, simdjson::dom::element node) {
  try {
    return Decoder<DomOps>::value(node, Where{nullptr, name, 0});
  } catch (const RuntimeError& e) {
    unreadable(file, std::string("variable ") + e.what());
  }
}

std::atomic<unsigned> temp_counter{0};

}  // namespace

std::filesystem::path varfile_path(const std::filesystem::path& name) {
  if (name.has_extension()) return name;
  std::filesystem::path p = name;
  p += ".mat";
  return p;
}

NamedValues load_variables(const std::filesystem::path& name, const std::vector<std::string>& wanted) {
  const auto file = varfile_path(name);
  const std::set<std::string_view> want(wanted.begin(), wanted.end());
  NamedValues out;
  read_variables(file, [&](std::string_view key, simdjson::dom::element node) {
    if (want.count(key)) out.emplace_back(std::string(key), decode_variable(file, key, node));
  });
  return out;
}

NamedValues load_all_variables(const std::filesystem::path& name) {
  const auto file = varfile_path(name);
  NamedValues out;
  read_variables(file, [&](std::string_view key, simdjson::dom::element node) {
    out.emplace_back(std::string(key), decode_variable(file, key, node));
  });
  return out;
}

void save_variables(const std::filesystem::path& name, const NamedValues& vars) {
  const auto file = varfile_path(name);
  // The whole text first: a value that cannot be encoded leaves the old file alone.
  std::string text = "{\"format\": \"" + std::string(kFormat) + "\", \"version\": " + std::to_string(kVersion) +
                     ", \"variables\": {";
  std::set<std::string_view> seen;
  bool first = true;
  for (const auto& [key, value] : vars) {
    if (!seen.insert(key).second)
      throw RuntimeError("Unable to save variable file " + quoted(file) + ": the variable '" + key +
                         "' is given twice.");
    try {
      text += first ? "\n" : ",\n";
      text += dump(json(key));
      text += ": ";
      text += dump(encode(value));
    } catch (const RuntimeError& e) {
      throw RuntimeError("Unable to save variable file " + quoted(file) + ": variable '" + key + "': " + e.what());
    }
    first = false;
  }
  text += "\n}}\n";

  // Written beside the target under a name of its own, then renamed over it.
  const auto dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  const auto temp = dir / ("." + file.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                           std::to_string(temp_counter++));
  auto fail = [&](const std::string& what) {
    ::unlink(temp.c_str());
    throw RuntimeError("Unable to save variable file " + quoted(file) + ": " + what + ".");
  };
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw RuntimeError("Unable to save variable file " + quoted(file) + ": " + std::strerror(errno) + ".");
  struct stat old {};
  if (::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int e = errno;
      ::close(fd);
      fail(std::strerror(e));
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) fail(std::strerror(errno));
  if (::rename(temp.c_str(), file.c_str()) != 0) fail(std::strerror(errno));
}

nlohmann::ordered_json to_json(const Value& v) { return encode(v); }

Value from_json(const nlohmann::ordered_json& j) {
  try {
    return Decoder<JsonOps>::value(j, Where{nullptr, "value", 0});
  } catch (const RuntimeError& e) {
    throw RuntimeError(std::string("Malformed ") + e.what());
  } catch (const nlohmann::json::exception& e) {
    throw RuntimeError(std::string("Malformed value: ") + e.what());
  }
}

Value parse_value(const std::string& json_text) {
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (auto err = parser.parse(json_text).get(root))
    throw RuntimeError("Malformed value '" + json_text + "': " + simdjson::error_message(err));
  try {
    return Decoder<DomOps>::value(root, Where{nullptr, "value", 0});
  } catch (const RuntimeError& e) {
    throw RuntimeError(std::string("Malformed ") + e.what());
  }
}

std::string dump_value(const Value& v) { return dump(encode(v)); }

}  // namespace quorin
