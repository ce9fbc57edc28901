#pragma once
// The desktop mail program's automation identifiers, as its type library publishes them: the class,
// the interfaces and the dispatch IDs of the members Orvane calls. The program and the stand-in that
// plays the mail program in tests both take them from here.

#include <windows.h>
#include <oaidl.h>

namespace outlook {

inline constexpr CLSID kClsidApplication = {0x0006F03A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr wchar_t kProgId[] = L"Outlook.Application";

inline constexpr IID kIidApplication = {0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidNameSpace = {0x00063002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidExplorer = {0x00063003, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidMAPIFolder = {0x00063006, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidAttachment = {0x00063007, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidMailItem = {0x00063034, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidAttachments = {0x0006303C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace dispid {
inline constexpr DISPID kCreateItem = 0x10A;          // _Application
inline constexpr DISPID kGetNamespace = 0x110;        // _Application
inline constexpr DISPID kActiveExplorer = 0x111;      // _Application
inline constexpr DISPID kGetDefaultFolder = 0x210B;   // _NameSpace
inline constexpr DISPID kGetExplorer = 0x3101;        // MAPIFolder
inline constexpr DISPID kWindowState = 0x2112;        // _Explorer
inline constexpr DISPID kActivate = 0x2113;           // _Explorer
inline constexpr DISPID kSubject = 0x37;              // _MailItem
inline constexpr DISPID kTo = 0xE04;                  // _MailItem
inline constexpr DISPID kDisplay = 0xF0A6;            // _MailItem
inline constexpr DISPID kAttachments = 0xF815;        // _MailItem
inline constexpr DISPID kAdd = 0x65;                  // Attachments
}  // namespace dispid

inline constexpr LONG olFolderInbox = 6;
inline constexpr LONG olMailItem = 0;
inline constexpr LONG olMinimized = 1;

}  // namespace outlook
