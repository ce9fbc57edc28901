#pragma once
// The mail for mail programs that take no attachment from another program (the new Outlook, webmail
// set as the browser's mail handler): a mailto: link carries To and Subject, and the user pastes the
// picture.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

class Session;

// The longest link we hand over, in characters. Windows takes URLs of up to INTERNET_MAX_URL_LENGTH
// (2,083 characters, wininet.h; "Maximum URL length is 2,083 characters in Internet Explorer", KB
// 208427), and its shell refuses longer ones. Wine's shell (8.0) is narrower: it builds the handler's
// command line (its mailto\shell\open\command with the link for %1) in 1,024 characters; one
// character more and the handler gets no link at all, some 50 more and the shell overruns its stack
// and takes the calling program down with it. 800 leaves 224 characters for the handler's own
// command there (Wine's own is 40, a mail program's or a browser's under 100), and Windows 1,283 to
// spare.
constexpr size_t kMaxMailtoLength = 800;

struct MailtoMail {
  std::wstring link;
  // The addresses of the setting that the link had no room for, in the setting's order.
  std::vector<std::wstring> left_out;
};

// "mailto:" + the address part of each recipient of the setting, separated by commas, + "?subject="
// + the subject, each percent-encoded as UTF-8 (RFC 6068, RFC 3986), in at most kMaxMailtoLength
// characters. The subject gives way first, cut at whole characters; an address is never cut, only
// left out whole where it does not fit (a later, shorter one may still go in).
MailtoMail MailtoLink(std::wstring_view recipients, std::wstring_view subject);

// Whether a program is registered to open mailto: links, as the user chose it.
bool MailtoHandlerRegistered();

// Opens the link with the registered program. When it cannot be opened, raises the system's error as
// an rt::Failure of kMailLinkNotOpened, or kMailLinkNotOpenedNoClipboard where the picture is not on the
// clipboard either (`picture_on_clipboard`).
void OpenMailtoLink(Session& session, const std::wstring& link, bool picture_on_clipboard);

}  // namespace mail
