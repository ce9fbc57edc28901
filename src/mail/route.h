#pragma once
// Which way a run would hand its mail over now, from the facts the run itself reads: the automation
// class, the default Simple MAPI program, the mailto: handler, in the order the run tries them.

#include <string>

namespace mail {

struct Route {
  enum class Kind { kAutomation, kDefaultProgram, kMailtoLink, kNone } kind = Kind::kNone;
  std::wstring program;  // the default mail program's name as its registration gives it (kDefaultProgram)
};

// The route a run would take if the shortcut were pressed now.
Route RouteOfRun();

}  // namespace mail
