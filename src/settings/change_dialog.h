#pragma once
// The dialog that changes Orvane's shortcut by pressing the new keys.

#define IDD_CHANGE_SHORTCUT 100
#define IDC_KEYS 101
#define IDC_RULE 102
#define IDC_PROMPT 103

#ifndef RC_INVOKED
#include <windows.h>

#include "settings/rebind.h"

namespace installer {

// Shows the dialog until the user changes the shortcut or cancels; 0 when changed, 1 when cancelled.
int ChangeShortcutDialog(HINSTANCE instance, const Installation& installation);

}  // namespace installer
#endif
