// The dyno reader's local functions (read one typed value, clean a name, unit code to unit
// text) and the bounds-checked byte reader they work on. Private to the dyno reader and the
// function-table bodies of its local functions; nothing else includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "services/value.h"

namespace quorin::dyno {

// The one line the reader writes to the console when a file holds an unknown type code.
inline constexpr std::string_view kCorruptFileLine =
    "unkown data type in file.  Data read from file is probably corrupt";
// The run-time error that then ends the import: ReadVariant produced no value.
inline constexpr std::string_view kVarValueNotAssigned =
    "Run-time Error: File: loadshock/ReadVariant Line: 251 Column: 1 One or more output "
    "arguments not assigned during call to \"loadshock/ReadVariant\" (VarValue).";
inline constexpr std::string_view kUnknownUnit = "unknown";
inline constexpr std::string_view kTestNotPerformed = "test not performed";

// Sequential little-endian reads over the bytes of a dyno file, held in memory or read from
// an open file through a small window. Every read either returns a whole value and moves on,
// or returns nullopt and leaves the position unchanged when the file ends first.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  // Reads `file` from its start; `announced` is the size the file system gives (the file may
  // turn out shorter or longer). A read error throws RuntimeError naming `name`.
  ByteReader(std::FILE* file, std::uint64_t announced, std::string name);

  std::optional<std::int8_t> i8();
  std::optional<std::int16_t> i16();
  std::optional<std::int32_t> i32();
  std::optional<std::uint32_t> u32();
  std::optional<std::uint64_t> u64();
  std::optional<float> f32();
  std::optional<double> f64();
  // The next n bytes, or nullopt when fewer remain.
  std::optional<std::span<const std::uint8_t>> bytes(std::size_t n);
  // Up to n single-precision samples, as many as the file still holds; a trailing part of a
  // sample is consumed and dropped. The samples go straight into the array returned.
  std::vector<double> f32_samples(std::uint64_t n);

  // Bytes read so far.
  std::uint64_t position() const { return (file_ ? window_end_ - bytes_.size() : 0) + pos_; }
  // Bytes left as far as is known: in memory, what follows; from a file, up to its announced
  // end.
  std::uint64_t remaining() const;

 private:
  template <typename T>
  std::optional<T> take();
  // Makes at least n bytes ready at pos_, reading on from the file; false when it ends first.
  bool ready(std::size_t n);

  std::span<const std::uint8_t> bytes_;  // in memory: the file; from a file: the window
  std::size_t pos_ = 0;
  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> window_;
  std::uint64_t window_end_ = 0;  // file offset just past the window
  std::uint64_t announced_ = 0;
  std::string name_;
};

// One value read from the file: a number, or a text kept as its raw character bytes (each
// byte one character, its code a signed 8-bit number).
struct Variant {
  bool is_text = false;
  double number = 0;
  std::string chars;

  // As the record stores it: the number; for a text of one or more characters a 1 by n list
  // of one-character texts; for an empty text the empty text.
  Value to_value() const;
  // The characters joined into one text.
  std::string joined() const;
};

// The characters of a file text as one text. Codes 0 to 127 stay as they are; codes of 0x80
// and above (negative as signed bytes) are taken as the characters U+0080 to U+00FF, so every
// name and text the reader produces is valid UTF-8.
std::string text_from_file_chars(std::string_view chars);

// ReadVariant: reads the payload of type code `var_type` from `channel` (the type code itself
// has been read). An unknown code, or a payload cut short by the end of the file, writes
// kCorruptFileLine to `console` and throws RuntimeError(kVarValueNotAssigned).
Variant ReadVariant(ByteReader& channel, int var_type, std::ostream& console);
// Reads a type code and its payload; a missing type code takes the unknown-code path.
Variant read_item(ByteReader& channel, std::ostream& console);

// RemoveInvalid: the name with every space and each of # - ( ) + , . [ ] { } = ; % ! removed;
// nothing else changes.
std::string RemoveInvalid(std::string_view bad_name);

// GetUnits: the unit text of a unit code, "unknown" for any other number.
std::string_view GetUnits(double unit_int);
// A text given as a unit code is "unknown" too.
std::string_view GetUnits(const Variant& unit_int);

}  // namespace quorin::dyno
