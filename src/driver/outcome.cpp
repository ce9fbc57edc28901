#include "driver/outcome.h"

namespace modMain {

int ExitCode(const Outcome& outcome) {
  switch (outcome.kind) {
    case Outcome::Kind::kDone:
    case Outcome::Kind::kCancelled:
      return 0;
    case Outcome::Kind::kFailed:
      return 1;
    case Outcome::Kind::kGaveUp:
      return 2;
  }
  return 1;
}

}  // namespace modMain
