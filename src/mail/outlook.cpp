#include "mail/outlook.h"

#include "mail/dispatch.h"
#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/win_error.h"
#include "platform/win/com.h"

namespace modMain {
namespace {

using mail::InvokeFor;
using mail::Perform;
using win::ComPtr;

}  // namespace

bool AutomationRegistered() {
  wchar_t clsid[64] = {};
  if (::StringFromGUID2(outlook::kClsidApplication, clsid, 64) == 0) return false;
  HKEY key = nullptr;
  const std::wstring path = std::wstring(L"CLSID\\") + clsid + L"\\LocalServer32";
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

namespace {

ComPtr<IDispatch> CreateApplication(mail::Session& session) {
  ComPtr<IDispatch> application;
  // As scripting clients ask for it: any server kind (the mail program registers a local server only).
  const HRESULT hr = session.Within(mail::Deadline::kStart, [&] {
    return ::CoCreateInstance(outlook::kClsidApplication, nullptr, CLSCTX_SERVER, outlook::kIidApplication,
                              reinterpret_cast<void**>(application.GetAddressOf()));
  });
  if (hr == REGDB_E_CLASSNOTREG) {
    // COM answers so as well when a registered server did not start in time (Wine after about 30 s):
    // that mail program is installed, and no other may take its mail.
    throw rt::Failure(AutomationRegistered() ? rt::FailureKind::kMailProgramDidNotStart : rt::FailureKind::kMailProgramMissing,
                      rt::HresultError(hr, rt::App::EXEName()));
  }
  if (FAILED(hr) || !application) rt::RaiseHresult(FAILED(hr) ? hr : E_NOINTERFACE, rt::App::EXEName());
  return application;
}

// A mail that could not be made: a mail program busy, closed meanwhile (the call failed), out of reach
// or out of memory is told as such; anything else is its refusal.
rt::FailureKind KindOfCreationFailure(const rt::Error& error) {
  const rt::FailureKind kind = KindOfAutomationFailure(error);
  switch (kind) {
    case rt::FailureKind::kMailProgramBusy:
    case rt::FailureKind::kMailProgramUnreachable:
    case rt::FailureKind::kOutOfMemory:
      return kind;
    default:
      return rt::FailureKind::kMailItemRefused;
  }
}

// A mail that was made but not filled in and shown, by the step that failed.
rt::FailureKind KindOfFillingFailure(const mail::Member* failed_at) {
  if (failed_at == &outlook::kTo) return rt::FailureKind::kRecipientRefused;
  if (failed_at == &outlook::kSubject) return rt::FailureKind::kSubjectRefused;
  if (failed_at == &outlook::kDisplay) return rt::FailureKind::kMailNotShown;
  return rt::FailureKind::kMailNotFilledIn;  // the attachment
}

void OpenOutlookWindow(mail::Session& session, LONG lWindowState) {
  // The releases between the calls are calls too: the operation as a whole is watched as well.
  mail::Session::Watched operation(session, mail::Deadline::kCall);
  // An application object of its own, released when the call ends: the one the process keeps is the
  // mail's (ComposeMailDraft). That is how the two operations are defined, and what the mail
  // program's journal in the tests shows. References are released in reverse order when the call
  // ends, by a raised error as well.
  ComPtr<IDispatch> application = CreateApplication(session);
  if (mail::ObjectOf(session, mail::Invoke(session, application.Get(), outlook::kActiveExplorer))) {
    return;  // a main window shows
  }

  ComPtr<IDispatch> name_space =
      InvokeFor(session, application.Get(), outlook::kGetNamespace, outlook::kIidNameSpace, {L"MAPI"});
  ComPtr<IDispatch> folder = InvokeFor(session, name_space.Get(), outlook::kGetDefaultFolder, outlook::kIidMAPIFolder,
                                       {outlook::olFolderInbox});
  ComPtr<IDispatch> explorer = InvokeFor(session, folder.Get(), outlook::kGetExplorer, outlook::kIidExplorer);
  Perform(session, explorer.Get(), outlook::kActivate);
  Perform(session, explorer.Get(), outlook::kWindowState, {lWindowState});
}

}  // namespace

rt::FailureKind KindOfAutomationFailure(const rt::Error& error) {
  switch (static_cast<HRESULT>(error.number())) {
    case REGDB_E_CLASSNOTREG:
      return rt::FailureKind::kMailProgramMissing;
    case CO_E_SERVER_EXEC_FAILURE:
      return rt::FailureKind::kMailProgramUnreachable;
    case RPC_E_CALL_REJECTED:
    case RPC_E_CALL_CANCELED:
    case RPC_E_DISCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
      return rt::FailureKind::kMailProgramBusy;
    case E_OUTOFMEMORY:
      return rt::FailureKind::kOutOfMemory;
    default:
      return error.number() == rt::kErrOutOfMemory ? rt::FailureKind::kOutOfMemory : rt::FailureKind::kOther;
  }
}

void EnsureOutlookWindow(mail::Session& session, LONG lWindowState) {
  try {
    OpenOutlookWindow(session, lWindowState);
  } catch (const rt::Failure&) {
    throw;
  } catch (const rt::Error& error) {
    throw session.FailureOf(error, KindOfAutomationFailure(error));
  }
}

DraftResult ComposeMailDraft(mail::Session& session, const std::wstring& sAttachmentPath,
                             const std::wstring& sSubject, const std::wstring& sRecipient) {
  mail::Session::Watched operation(session, mail::Deadline::kCall);
  ComPtr<IDispatch> mail_item;
  IDispatch* application = nullptr;
  try {
    application = session.KeptApplication([&] { return CreateApplication(session); });
    mail_item =
        InvokeFor(session, application, outlook::kCreateItem, outlook::kIidMailItem, {outlook::olMailItem});
  } catch (const rt::Error& error) {
    const rt::Failure failure = session.FailureOf(error, KindOfCreationFailure(error));
    if (failure.kind() == rt::FailureKind::kGaveUp) throw failure;  // the user has been asked: no further word
    return DraftResult{DraftResult::Stage::kNotCreated, failure};
  }

  // The step under way, named if it fails: what the user is told depends on how far the mail got.
  const mail::Member* step = &outlook::kAttachments;
  try {
    {
      ComPtr<IDispatch> attachments =
          InvokeFor(session, mail_item.Get(), outlook::kAttachments, outlook::kIidAttachments);
      step = &outlook::kAdd;
      Perform(session, attachments.Get(), outlook::kAdd, {sAttachmentPath});
    }
    step = &outlook::kTo;
    Perform(session, mail_item.Get(), outlook::kTo, {sRecipient});
    step = &outlook::kSubject;
    Perform(session, mail_item.Get(), outlook::kSubject, {sSubject});
    // The mail window belongs to the mail program's process, which may not take the foreground from
    // us by itself: it would open behind the user's windows. CoAllowSetForegroundWindow passes our
    // right to the server through its IForegroundTransfer ("CoAllowSetForegroundWindow function",
    // objbase.h). A server without that interface refuses, and the mail opens where it may.
    (void)::CoAllowSetForegroundWindow(application, nullptr);
    step = &outlook::kDisplay;
    Perform(session, mail_item.Get(), outlook::kDisplay);
  } catch (const rt::Error& error) {
    const rt::Failure failure = session.FailureOf(error, KindOfFillingFailure(step));
    if (failure.kind() == rt::FailureKind::kGaveUp) throw failure;
    return DraftResult{DraftResult::Stage::kNotFilledIn, failure, step};
  }
  return DraftResult{};
}

}  // namespace modMain
