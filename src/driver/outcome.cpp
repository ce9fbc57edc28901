#include "driver/outcome.h"

namespace modMain {

int ExitCode(const Outcome& outcome) {
  switch (outcome.kind) {
    case Outcome::Kind::kDone:
    case Outcome::Kind::kCancelled:
      return rt::exit_code::kDone;
    case Outcome::Kind::kFailed:
      return rt::exit_code::kFailed;
    case Outcome::Kind::kGaveUp:
      return rt::exit_code::kGaveUp;
  }
  return rt::exit_code::kFailed;
}

}  // namespace modMain
