#include "mail/outlook.h"

#include <optional>

#include "mail/dispatch.h"
#include "platform/runtime/app.h"
#include "platform/runtime/ui.h"
#include "platform/runtime/win_error.h"
#include "platform/win/com.h"

namespace modMain {
namespace {

using mail::Call;
using mail::Invoke;
using mail::QueryResult;
using win::ComPtr;
using win::Variant;

// The apartment the mail calls run in, and the application object ComposeMailDraft makes once and
// keeps. Members go in reverse order, so even at exit the object is let go before the apartment: a
// proxy must not outlive it.
struct MailState {
  std::optional<win::ComApartment> apartment;
  ComPtr<IDispatch> application;
};

MailState& State() {
  static MailState state;
  return state;
}

ComPtr<IDispatch>& OutlookApp() { return State().application; }

ComPtr<IDispatch> CreateApplication() {
  PrepareOutlookCalls();
  ComPtr<IDispatch> application;
  // As scripting clients ask for it: any server kind (the mail program registers a local server only).
  HRESULT hr = ::CoCreateInstance(outlook::kClsidApplication, nullptr, CLSCTX_SERVER, outlook::kIidApplication,
                                  reinterpret_cast<void**>(application.GetAddressOf()));
  if (FAILED(hr) || !application) rt::RaiseHresult(FAILED(hr) ? hr : E_NOINTERFACE, rt::App::EXEName());
  return application;
}

}  // namespace

void EnsureOutlookWindow(LONG lWindowState) {
  // References are released in reverse order when the call ends, by a raised error as well.
  ComPtr<IDispatch> application = CreateApplication();
  bool has_main_window = false;
  {
    Variant explorer = Invoke(application.Get(), outlook::kActiveExplorer, Call::kMethodOrGet, {}, L"ActiveExplorer");
    has_main_window = mail::ObjectOf(explorer) != nullptr;
  }
  if (has_main_window) return;

  Variant mapi = Variant::String(L"MAPI");
  ComPtr<IDispatch> name_space = QueryResult(
      Invoke(application.Get(), outlook::kGetNamespace, Call::kMethodOrGet, {mapi.get()}, L"GetNamespace"),
      outlook::kIidNameSpace, L"GetNamespace");
  Variant inbox_type = Variant::Long(outlook::olFolderInbox);
  ComPtr<IDispatch> folder = QueryResult(
      Invoke(name_space.Get(), outlook::kGetDefaultFolder, Call::kMethodOrGet, {inbox_type.get()}, L"GetDefaultFolder"),
      outlook::kIidMAPIFolder, L"GetDefaultFolder");
  ComPtr<IDispatch> explorer = QueryResult(
      Invoke(folder.Get(), outlook::kGetExplorer, Call::kMethodOrGet, {}, L"GetExplorer"), outlook::kIidExplorer,
      L"GetExplorer");
  mail::Perform(explorer.Get(), outlook::kActivate, Call::kMethod, {}, L"Activate");
  Variant state = Variant::Long(lWindowState);
  mail::Perform(explorer.Get(), outlook::kWindowState, Call::kPut, {state.get()}, L"WindowState");
}

void ComposeMailDraft(const std::wstring& sAttachmentPath, const std::wstring& sSubject,
                      const std::wstring& sRecipient) {
  ComPtr<IDispatch> mail_item;
  try {
    if (!OutlookApp()) OutlookApp() = CreateApplication();
    Variant item_type = Variant::Long(outlook::olMailItem);
    mail_item = QueryResult(
        Invoke(OutlookApp().Get(), outlook::kCreateItem, Call::kMethodOrGet, {item_type.get()}, L"CreateItem"),
        outlook::kIidMailItem, L"CreateItem");
  } catch (...) {
    return;  // no mail could be made: nothing to tell the user
  }

  try {
    {
      ComPtr<IDispatch> attachments = QueryResult(
          Invoke(mail_item.Get(), outlook::kAttachments, Call::kGet, {}, L"Attachments"), outlook::kIidAttachments,
          L"Attachments");
      Variant source = Variant::String(sAttachmentPath);
      mail::Perform(attachments.Get(), outlook::kAdd, Call::kMethodOrGet, {source.get()}, L"Add");
    }
    Variant to = Variant::String(sRecipient);
    mail::Perform(mail_item.Get(), outlook::kTo, Call::kPut, {to.get()}, L"To");
    Variant subject = Variant::String(sSubject);
    mail::Perform(mail_item.Get(), outlook::kSubject, Call::kPut, {subject.get()}, L"Subject");
    mail::Perform(mail_item.Get(), outlook::kDisplay, Call::kMethod, {}, L"Display");
  } catch (...) {
    rt::MsgBox(L"Problem creating email message", MB_OK | MB_ICONEXCLAMATION);
  }
}

void PrepareOutlookCalls() {
  if (!State().apartment) State().apartment.emplace();
}

void ReleaseOutlookApp() {
  OutlookApp().Reset();
  State().apartment.reset();
}

}  // namespace modMain
