// Helpers shared by the window tests: a model with the program's globals around a start
// folder, and look-ups in one window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "processor/globals.h"
#include "services/gfx/model.h"
#include "windows/window_context.h"
#include "windows/start_folder_fixture.h"

namespace quorin::test {

struct WindowRig {
  StartFolderFixture folder;
  gfx::Model gfx;
  Globals g;
  WindowContext ctx{gfx, g, folder.path()};
};

// Every object of the window (at any depth) with this Tag, hidden handles included.
inline std::vector<gfx::Object*> all_tagged(gfx::Model& m, gfx::Window& w, std::string_view tag) {
  std::vector<gfx::Object*> out;
  std::vector<gfx::Handle> todo(w.children().rbegin(), w.children().rend());
  while (!todo.empty()) {
    gfx::Object* o = m.find(todo.back());
    todo.pop_back();
    if (o->tag == tag) out.push_back(o);
    todo.insert(todo.end(), o->children().rbegin(), o->children().rend());
  }
  return out;
}

template <class T>
T& only(gfx::Model& m, gfx::Window& w, std::string_view tag) {
  auto found = all_tagged(m, w, tag);
  if (found.size() != 1) throw std::logic_error(std::to_string(found.size()) + " objects tagged " + std::string(tag));
  auto* t = dynamic_cast<T*>(found.front());
  if (!t) throw std::logic_error(std::string(tag) + " is of another kind");
  return *t;
}

}  // namespace quorin::test
