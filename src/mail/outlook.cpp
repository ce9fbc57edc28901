#include "mail/outlook.h"

#include "mail/dispatch.h"
#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/ui.h"
#include "platform/runtime/win_error.h"
#include "platform/win/com.h"

namespace modMain {
namespace {

using mail::InvokeFor;
using mail::Perform;
using win::ComPtr;

ComPtr<IDispatch> CreateApplication() {
  mail::Session::Current().Begin();
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
  if (mail::ObjectOf(mail::Invoke(application.Get(), outlook::kActiveExplorer))) return;  // a main window shows

  ComPtr<IDispatch> name_space = InvokeFor(application.Get(), outlook::kGetNamespace, outlook::kIidNameSpace, {L"MAPI"});
  ComPtr<IDispatch> folder =
      InvokeFor(name_space.Get(), outlook::kGetDefaultFolder, outlook::kIidMAPIFolder, {outlook::olFolderInbox});
  ComPtr<IDispatch> explorer = InvokeFor(folder.Get(), outlook::kGetExplorer, outlook::kIidExplorer);
  Perform(explorer.Get(), outlook::kActivate);
  Perform(explorer.Get(), outlook::kWindowState, {lWindowState});
}

void ComposeMailDraft(const std::wstring& sAttachmentPath, const std::wstring& sSubject,
                      const std::wstring& sRecipient) {
  ComPtr<IDispatch> mail_item;
  try {
    ComPtr<IDispatch>& application = mail::Session::Current().Application();
    if (!application) application = CreateApplication();
    mail_item = InvokeFor(application.Get(), outlook::kCreateItem, outlook::kIidMailItem, {outlook::olMailItem});
  } catch (...) {
    return;  // no mail could be made: nothing to tell the user
  }

  try {
    {
      ComPtr<IDispatch> attachments = InvokeFor(mail_item.Get(), outlook::kAttachments, outlook::kIidAttachments);
      Perform(attachments.Get(), outlook::kAdd, {sAttachmentPath});
    }
    Perform(mail_item.Get(), outlook::kTo, {sRecipient});
    Perform(mail_item.Get(), outlook::kSubject, {sSubject});
    Perform(mail_item.Get(), outlook::kDisplay);
  } catch (...) {
    rt::MsgBox(L"Problem creating email message", MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace modMain
