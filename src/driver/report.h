#pragma once
// What the user reads: the question, and the report of a failure that ends a run.

#include <windows.h>

#include <string>
#include <vector>

#include "driver/outcome.h"
#include "mail/session.h"

namespace modMain {

// "You have pressed <key>." and a blank line before the question, where the settings name the
// shortcut; the question alone where they do not.
std::wstring QuestionText(const std::wstring& key_text);

// "There is no window in front ...": the message of a run that has nothing to take a picture of,
// naming the shortcut when the settings give its name.
std::wstring NothingInFrontText(const std::wstring& key_text);

// The message of a second press while another run hands its screenshot to the mail program.
std::wstring StillOpeningText();

// What the messages say of the screenshot: where it was saved (empty: that it was not).
std::wstring SavedScreenshotText(const std::wstring& saved);

// The question asked when the mail program outlives a deadline: not responding, where the screenshot
// was saved, and whether to keep waiting.
std::wstring WaitQuestionText(const std::wstring& saved);

// What happened and what to do next, in the user's words.
std::wstring WhatHappened(const RunFailure& failure, const std::wstring& key_text);

// The closing line that people and support look up: "(Error N: description)".
std::wstring ErrorLine(const rt::Error& error);

struct Report {
  std::wstring text;
  UINT style;  // buttons and icon
};
// The report: what happened and what to do, whether and where the screenshot was saved (or left under
// a temporary name), the error line, and where a file holds it the offer to show it (Yes and No,
// exclamation icon; with nothing saved OK and the error icon).
Report ReportOf(const RunFailure& failure, const std::wstring& key_text);

// What the user is told of a Recipient setting whose last address was cut short by the reading (that
// address as read): that it is left out of the mail, and what to do; empty when none was.
std::wstring CutRecipientText(const std::wstring& cut_short);

// The message before the mail opens from a mailto: link: whether the picture is on the clipboard to be
// pasted or only in the saved file, and which recipients the new mail lacks (the addresses the link
// had no room for, and an address of the setting cut short).
std::wstring LinkMessageText(bool on_clipboard, const std::wstring& saved, const std::vector<std::wstring>& left_out,
                             const std::wstring& cut_short);

// Shows the report, in front of every window; shows the saved file in its folder when asked to (the
// shell's calls in the session's apartment).
void ShowReport(mail::Session& session, const RunFailure& failure, const std::wstring& key_text);

}  // namespace modMain
