#pragma once
// The mail for mail programs that take no attachment from another program (the new Outlook, webmail
// set as the browser's mail handler): a mailto: link carries To and Subject, and the user pastes the
// picture.

#include <cstddef>
#include <string>
#include <string_view>

namespace mail {

// The longest link we hand over: handlers and browsers cut or refuse longer ones.
constexpr size_t kMaxMailtoLength = 2000;

// "mailto:" + the address part of each recipient of the setting, separated by commas, + "?subject="
// + the subject, each percent-encoded as UTF-8 (RFC 6068, RFC 3986). The subject is cut at whole
// characters where the link would pass kMaxMailtoLength characters.
std::wstring MailtoLink(std::wstring_view recipients, std::wstring_view subject);

// Whether a program is registered to open mailto: links, as the user chose it.
bool MailtoHandlerRegistered();

// Opens the link with the registered program; raises the system's error when it cannot be opened.
void OpenMailtoLink(const std::wstring& link);

}  // namespace mail
