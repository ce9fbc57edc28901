#pragma once
// The settings window: who gets the pictures, which keys take one, the language, which mail program
// opens the mail (with a test mail), and the screenshots folder.

#define IDD_SETTINGS 200
#define IDC_RECIPIENT_LABEL 201
#define IDC_RECIPIENT 202
#define IDC_RECIPIENT_CHECK 203
#define IDC_KEYS_LABEL 204
#define IDC_SETTINGS_KEYS 205
#define IDC_KEYS_RULE 206
#define IDC_LANGUAGE_LABEL 207
#define IDC_LANGUAGE 208
#define IDC_ROUTE_LABEL 209
#define IDC_ROUTE 210
#define IDC_TEST_MAIL 211
#define IDC_FOLDER_LINK 212

#ifndef RC_INVOKED
#include <windows.h>

#include "settings/rebind.h"

namespace installer {

// Shows the window until OK saves the settings or Cancel leaves them; 0 when saved, 1 when cancelled.
int SettingsWindow(HINSTANCE instance, const Installation& installation);

}  // namespace installer
#endif
