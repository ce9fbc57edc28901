#pragma once
// The mail step of a run, for a picture that another part of Orvane takes (the settings window's test
// mail).

#include <windows.h>

#include <string>

#include "driver/mod_main.h"

namespace modMain {

// The mail step as a press takes it after OK, for a picture of `window` (one of this process's, in
// front): the picture saved under the next screenshot name, then mailed with `subject` to
// `recipients`; every failure told as a run tells it, the boxes owned by `window`.
Outcome MailPictureOf(mail::Session& session, HWND window, const std::wstring& subject,
                      const RecipientSetting& recipients, const std::wstring& key_text);

}  // namespace modMain
