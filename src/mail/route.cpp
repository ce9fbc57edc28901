#include "mail/route.h"

#include "mail/mailto.h"
#include "mail/outlook.h"
#include "mail/simple_mapi.h"

namespace mail {

Route RouteOfRun() {
  if (modMain::AutomationRegistered()) return {Route::Kind::kAutomation, L""};
  if (DefaultMailProgramRegistered()) return {Route::Kind::kDefaultProgram, DefaultMailProgramName()};
  if (MailtoHandlerRegistered()) return {Route::Kind::kMailtoLink, L""};
  return {};
}

}  // namespace mail
