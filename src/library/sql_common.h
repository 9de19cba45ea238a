// What the embedded file and the team server share: the schema of each version and the way
// up from one to the next, the statements that save and search set-ups, and the reading of a
// set-up from a result row. Statements are written with ? for their parameters.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/backend.h"

namespace quorin::library::sql {

enum class Dialect { Sqlite, Postgres };

// One parameter of a statement: text, bytes or NULL.
struct Param {
  std::string value;
  bool null = false;
  bool bytes = false;
};
Param text(std::string v);
Param number(std::int64_t v);
Param bytes(std::string v);

struct Statement {
  std::string text;
  std::vector<Param> params;
};

// The statements that make a new library of the first schema version.
std::vector<std::string> first_schema(Dialect d);
// The statements that take a library from version `from` to `from` + 1, before and after
// the fingerprints of its set-ups are filled in (`fill_fingerprints`).
struct Migration {
  std::vector<std::string> before;
  bool fill_fingerprints = false;
  std::vector<std::string> after;
};
Migration migration_from(int from, Dialect d);

// A result row as text: column i's text (bytes for a blob), and whether it is NULL.
struct Row {
  std::function<std::string(int)> text;
  std::function<bool(int)> null;
};

// The columns a set-up is read from; with `full`, its dyno record and measured curve too.
std::string setup_columns(bool full);
// What the columns of setup_columns(full) say, read from `row`.
Setup setup_from_row(const Row& row, bool full, std::string_view where);
// The columns of a set-up in a library of version 1, and what they say (for the migration).
std::string first_version_columns();
Setup first_version_setup(const Row& row, std::string_view where);

// The search for `q`, newest event first.
Statement find_statement(const Query& q, Dialect d);
// One set-up in full.
Statement open_statement(std::int64_t id);
// Every set-up in full, oldest first.
std::string all_statement();

// Returns the id of the car or event, adding it when it is new.
Statement car_statement(const Setup& s);
Statement event_statement(const Setup& s);
// Adds the set-up unless one with its fingerprint is there (no row back then).
Statement insert_statement(const Setup& s, std::int64_t car_id, std::int64_t event_id);
Statement id_by_fingerprint(const Setup& s);

}  // namespace quorin::library::sql
