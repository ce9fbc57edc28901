// The mail calls against hand-written automation objects in this process, registered as the mail
// program's class object, so every dispatch ID, flag, argument and reference can be checked.

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <map>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "driver/report.h"
#include "mail/dispatch.h"
#include "mail/mapi_helper.h"
#include "mail/message_filter.h"
#include "mail/outlook.h"
#include "mail/session.h"
#include "mail/simple_mapi.h"
#include "mail/watchdog.h"
#include "support/desktop.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/win_error.h"
#include "platform/win/com.h"
#include "platform/win/com_object.h"
#include "platform/win/unique.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"

namespace {

struct Recorded {
  std::wstring object;
  DISPID id;
  WORD flags;
  std::vector<std::wstring> args;  // in rgvarg order, as received
  UINT named;
  DISPID named_id;
};

std::wstring Show(const VARIANT& v) {
  if (v.vt == VT_BSTR) return L"\"" + std::wstring(v.bstrVal ? v.bstrVal : L"") + L"\"";
  if (v.vt == VT_I4) return std::to_wstring(v.lVal);
  if (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) return L"<missing>";
  return L"<vt " + std::to_wstring(v.vt) + L">";
}

using Handler = std::function<HRESULT(VARIANT* result, EXCEPINFO* exception)>;

class Stub : public win::ComObject<IDispatch> {
 public:
  Stub(std::wstring name, const IID& iid, std::vector<Recorded>& log) : name_(std::move(name)), iid_(iid), log_(log) {}
  void On(DISPID id, Handler handler) { handlers_[id] = std::move(handler); }
  LONG refs() const { return references(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    ADD_FAILURE() << "members are never looked up by name";
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    Recorded call{name_, id, flags, {}, params->cNamedArgs, params->cNamedArgs ? params->rgdispidNamedArgs[0] : 0};
    for (UINT i = 0; i < params->cArgs; ++i) call.args.push_back(Show(params->rgvarg[i]));
    log_.push_back(call);
    auto handler = handlers_.find(id);
    if (handler == handlers_.end()) return S_OK;
    return handler->second(result, exception);
  }

 private:
  std::wstring name_;
  IID iid_;
  std::vector<Recorded>& log_;
  std::map<DISPID, Handler> handlers_;

  bool Answers(REFIID riid) const override {
    return ::IsEqualIID(riid, IID_IDispatch) || ::IsEqualIID(riid, iid_);
  }
  void LastReleased() override {}  // owned by the test
};

Handler Returns(IDispatch* object) {
  return [object](VARIANT* result, EXCEPINFO*) {
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    if (object) object->AddRef();
    return S_OK;
  };
}

Handler Throws(const wchar_t* description, HRESULT code) {
  return [description, code](VARIANT*, EXCEPINFO* exception) {
    exception->bstrSource = ::SysAllocString(L"Stub");
    exception->bstrDescription = ::SysAllocString(description);
    exception->scode = code;
    return DISP_E_EXCEPTION;
  };
}

class Factory : public IClassFactory {
 public:
  explicit Factory(IDispatch* application) : application_(application) {}
  virtual ~Factory() = default;
  int created = 0;
  HRESULT failure = S_OK;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (::IsEqualIID(riid, IID_IUnknown) || ::IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** out) override {
    if (FAILED(failure)) return failure;
    ++created;
    return application_->QueryInterface(riid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  IDispatch* application_;
};

class MailUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // In-process only: a local-server registration would be seen by every process of the machine.
    ASSERT_HRESULT_SUCCEEDED(::CoRegisterClassObject(outlook::kClsidApplication, &factory_, CLSCTX_INPROC_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookie_));
    app_.On(outlook::kGetNamespace.id, Returns(&name_space_));
    app_.On(outlook::kCreateItem.id, Returns(&mail_));
    name_space_.On(outlook::kGetDefaultFolder.id, Returns(&folder_));
    folder_.On(outlook::kGetExplorer.id, Returns(&explorer_));
    mail_.On(outlook::kAttachments.id, Returns(&attachments_));
    attachments_.On(outlook::kAdd.id, Returns(&attachment_));
  }
  void TearDown() override {
    session_.reset();  // as at the end of the process
    ::CoRevokeClassObject(cookie_);
    // Every reference the program took has been given back.
    for (Stub* stub : {&app_, &name_space_, &folder_, &explorer_, &mail_, &attachments_, &attachment_})
      EXPECT_EQ(stub->refs(), 1) << "references left on a stub";
  }

  std::vector<std::wstring> Calls() const {
    std::vector<std::wstring> out;
    for (const auto& call : log_) out.push_back(call.object + L":" + std::to_wstring(call.id));
    return out;
  }

  win::ComApartment apartment_;
  std::optional<mail::Session> session_{std::in_place};
  std::vector<Recorded> log_;
  Stub app_{L"app", outlook::kIidApplication, log_};
  Stub name_space_{L"ns", outlook::kIidNameSpace, log_};
  Stub folder_{L"folder", outlook::kIidMAPIFolder, log_};
  Stub explorer_{L"explorer", outlook::kIidExplorer, log_};
  Stub mail_{L"mail", outlook::kIidMailItem, log_};
  Stub attachments_{L"attachments", outlook::kIidAttachments, log_};
  Stub attachment_{L"attachment", IID_NULL, log_};
  Factory factory_{&app_};
  DWORD cookie_ = 0;
};

TEST_F(MailUnitTest, InvokeReversesArgumentsAndNamesPropertyPuts) {
  win::Variant first = win::Variant::String(L"one"), second = win::Variant::Long(2);
  mail::Perform(*session_, &app_, 77, mail::Call::kMethod, {first.get(), second.get()});
  mail::Perform(*session_, &app_, 78, mail::Call::kPut, {first.get()});
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0].args, (std::vector<std::wstring>{L"2", L"\"one\""}));  // rgvarg[0] is the last argument
  EXPECT_EQ(log_[0].flags, DISPATCH_METHOD);
  EXPECT_EQ(log_[0].named, 0u);
  EXPECT_EQ(log_[1].flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(log_[1].named, 1u);
  EXPECT_EQ(log_[1].named_id, DISPID_PROPERTYPUT);
  EXPECT_EQ(Show(*first.get()), L"\"one\"");  // the caller's argument is left as it was
}

TEST_F(MailUnitTest, InvokeTurnsServerExceptionsAndFailuresIntoRaisedErrors) {
  app_.On(90, Throws(L"Outlook is busy", static_cast<HRESULT>(0x80040109)));
  app_.On(91, [](VARIANT*, EXCEPINFO*) { return E_NOINTERFACE; });
  try {
    mail::Perform(*session_, &app_, 90, mail::Call::kMethod);
    FAIL();
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), static_cast<long>(0x80040109));
    EXPECT_EQ(e.description(), L"Outlook is busy");
    EXPECT_EQ(e.source(), L"Stub");
  }
  try {
    mail::Perform(*session_, &app_, 91, mail::Call::kMethod);
    FAIL();
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), static_cast<long>(E_NOINTERFACE));
    EXPECT_FALSE(e.description().empty());
  }
}

TEST_F(MailUnitTest, EnsureOutlookWindowLeavesAnExistingMainWindowAlone) {
  app_.On(outlook::kActiveExplorer.id, Returns(&explorer_));
  modMain::EnsureOutlookWindow(*session_, outlook::olMinimized);
  EXPECT_EQ(Calls(), (std::vector<std::wstring>{L"app:273"}));
}

TEST_F(MailUnitTest, EnsureOutlookWindowPassesFailuresOnAfterReleasingWhatItHolds) {
  folder_.On(outlook::kGetExplorer.id, Throws(L"No explorer today", E_FAIL));
  try {
    modMain::EnsureOutlookWindow(*session_, outlook::olMinimized);
    FAIL();
  } catch (const rt::Failure& e) {
    EXPECT_EQ(e.number(), static_cast<long>(E_FAIL));
    EXPECT_EQ(e.description(), L"No explorer today");
    EXPECT_EQ(e.kind(), rt::FailureKind::kOther);
  }
  factory_.failure = REGDB_E_CLASSNOTREG;
  try {
    modMain::EnsureOutlookWindow(*session_, outlook::olMinimized);
    FAIL();
  } catch (const rt::Failure& e) {
    EXPECT_EQ(e.number(), static_cast<long>(REGDB_E_CLASSNOTREG));
    // Missing, or installed and not started where the bench has the stand-in's server registered:
    // never the mail program's refusal, which would not try the other routes.
    EXPECT_TRUE(e.kind() == rt::FailureKind::kMailProgramMissing || e.kind() == rt::FailureKind::kMailProgramDidNotStart)
        << static_cast<int>(e.kind());
  }
}

// The calls' order and arguments are the end-to-end mail test's (the stand-in's journal): here, what
// only the process can see.
TEST_F(MailUnitTest, ComposeMailDraftKeepsItsApplicationObjectToTheEndOfTheProcess) {
  modMain::ComposeMailDraft(*session_, L"C:\\app\\Screenshot001.jpg", L"Screen Capture: T", L"a@b");
  modMain::ComposeMailDraft(*session_, L"C:\\app\\Screenshot002.jpg", L"S", L"");
  EXPECT_EQ(factory_.created, 1);  // the application object is kept
  EXPECT_EQ(app_.refs(), 2);       // ... and held until the process ends
}

// Answers the message boxes this process shows from another thread, keeping their texts.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(int button) : thread_([this, button] {
      while (!stop_) {
        for (HWND box : desktop::WindowsOf(::GetCurrentProcessId(), L"#32770")) {
          {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(desktop::ReadDialog(box).text);
          }
          desktop::Press(box, button);
          for (int i = 0; i < 100 && ::IsWindow(box) && ::IsWindowVisible(box); ++i) ::Sleep(10);
        }
        ::Sleep(20);
      }
    }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  // Waits until `count` boxes were answered; their texts.
  std::vector<std::wstring> Answered(size_t count, DWORD timeout_ms = 10000) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeout_ms; ::Sleep(20)) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (texts_.size() >= count) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

// The caller tells these failures (with the saved file and the folder offer): nothing is shown here.
TEST_F(MailUnitTest, AMailThatCannotBeMadeOrFilledInIsReturnedWithItsErrorAndNothingShown) {
  using Stage = modMain::DraftResult::Stage;
  factory_.failure = CO_E_SERVER_EXEC_FAILURE;
  modMain::DraftResult draft = modMain::ComposeMailDraft(*session_, L"C:\\app\\Screenshot003.jpg", L"s", L"r");
  EXPECT_EQ(draft.stage, Stage::kNotCreated);
  ASSERT_TRUE(draft.error);
  EXPECT_EQ(draft.error->number(), CO_E_SERVER_EXEC_FAILURE);
  EXPECT_EQ(draft.error->kind(), rt::FailureKind::kMailProgramUnreachable);
  EXPECT_TRUE(log_.empty());
  factory_.failure = S_OK;
  app_.On(outlook::kCreateItem.id, Returns(&attachment_));  // an item that is not a mail
  EXPECT_EQ(modMain::ComposeMailDraft(*session_, L"x.jpg", L"s", L"r").stage, Stage::kNotCreated);
  EXPECT_EQ(Calls(), (std::vector<std::wstring>{L"app:266"}));
  app_.On(outlook::kCreateItem.id, Throws(L"no", E_FAIL));
  draft = modMain::ComposeMailDraft(*session_, L"x.jpg", L"s", L"r");
  EXPECT_EQ(draft.stage, Stage::kNotCreated);
  ASSERT_TRUE(draft.error);
  EXPECT_EQ(draft.error->description(), L"no");
  EXPECT_EQ(draft.error->kind(), rt::FailureKind::kMailItemRefused);
  EXPECT_EQ(factory_.created, 1);

  // Refused while filling in: nothing after the refused step is asked for.
  app_.On(outlook::kCreateItem.id, Returns(&mail_));
  attachments_.On(outlook::kAdd.id, Throws(L"attachments are blocked", E_ACCESSDENIED));
  log_.clear();
  draft = modMain::ComposeMailDraft(*session_, L"x.jpg", L"s", L"r");
  EXPECT_EQ(draft.stage, Stage::kNotFilledIn);
  ASSERT_TRUE(draft.error);
  EXPECT_EQ(draft.error->number(), E_ACCESSDENIED);
  EXPECT_EQ(draft.error->kind(), rt::FailureKind::kMailNotFilledIn);
  EXPECT_EQ(Calls(), (std::vector<std::wstring>{L"app:266", L"mail:63509", L"attachments:101"}));
  EXPECT_TRUE(desktop::WindowsOf(::GetCurrentProcessId(), L"#32770").empty());
}

// What the user is told depends on how far the mail got, so the result names the step that refused;
// nothing after it is asked for, and the mail is never displayed before its last step.
TEST_F(MailUnitTest, AMailNotFilledInNamesTheStepThatRefused) {
  struct Step {
    Stub* object;
    const mail::Member* member;
    rt::FailureKind kind;
    std::vector<std::wstring> calls;
  };
  using rt::FailureKind;
  const Step steps[] = {
      {&mail_, &outlook::kAttachments, FailureKind::kMailNotFilledIn, {L"app:266", L"mail:63509"}},
      {&attachments_, &outlook::kAdd, FailureKind::kMailNotFilledIn, {L"app:266", L"mail:63509", L"attachments:101"}},
      {&mail_, &outlook::kTo, FailureKind::kRecipientRefused,
       {L"app:266", L"mail:63509", L"attachments:101", L"mail:3588"}},
      {&mail_, &outlook::kSubject, FailureKind::kSubjectRefused,
       {L"app:266", L"mail:63509", L"attachments:101", L"mail:3588", L"mail:55"}},
      {&mail_, &outlook::kDisplay, FailureKind::kMailNotShown,
       {L"app:266", L"mail:63509", L"attachments:101", L"mail:3588", L"mail:55", L"mail:61606"}},
  };
  for (const Step& step : steps) {
    const std::wstring name(step.member->name);
    step.object->On(step.member->id, Throws(L"refused", E_FAIL));
    log_.clear();
    const modMain::DraftResult draft =
        modMain::ComposeMailDraft(*session_, L"C:\\app\\Screenshot005.jpg", L"s", L"r");
    EXPECT_EQ(draft.stage, modMain::DraftResult::Stage::kNotFilledIn) << testing::PrintToString(name);
    EXPECT_EQ(draft.failed_at, step.member) << testing::PrintToString(name);
    ASSERT_TRUE(draft.error) << testing::PrintToString(name);
    EXPECT_EQ(draft.error->kind(), step.kind) << testing::PrintToString(name);
    EXPECT_EQ(Calls(), step.calls) << testing::PrintToString(name);
    // Put back as the fixture has it.
    if (step.member == &outlook::kAttachments) {
      mail_.On(outlook::kAttachments.id, Returns(&attachments_));
    } else if (step.member == &outlook::kAdd) {
      attachments_.On(outlook::kAdd.id, Returns(&attachment_));
    } else {
      step.object->On(step.member->id, [](VARIANT*, EXCEPINFO*) { return S_OK; });
    }
  }
  const modMain::DraftResult shown =
      modMain::ComposeMailDraft(*session_, L"C:\\app\\Screenshot006.jpg", L"s", L"r");
  EXPECT_EQ(shown.stage, modMain::DraftResult::Stage::kShown);
  EXPECT_EQ(shown.failed_at, nullptr);
}

// What the user is told follows what happened, never the wording of the error.
TEST(AutomationFailures, TakeTheirKindFromTheCode) {
  using rt::FailureKind;
  const auto kind = [](HRESULT hr) { return modMain::KindOfAutomationFailure(rt::HresultError(hr, L"o")); };
  EXPECT_EQ(kind(REGDB_E_CLASSNOTREG), FailureKind::kMailProgramMissing);
  EXPECT_EQ(kind(CO_E_SERVER_EXEC_FAILURE), FailureKind::kMailProgramUnreachable);
  for (HRESULT busy : {RPC_E_CALL_REJECTED, RPC_E_CALL_CANCELED, RPC_E_DISCONNECTED,
                       HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), static_cast<HRESULT>(0x800706BE),
                       static_cast<HRESULT>(0x800706BF)})
    EXPECT_EQ(kind(busy), FailureKind::kMailProgramBusy) << busy;
  EXPECT_EQ(kind(E_OUTOFMEMORY), FailureKind::kOutOfMemory);
  EXPECT_EQ(kind(E_FAIL), FailureKind::kOther);
  EXPECT_EQ(modMain::KindOfAutomationFailure(rt::Error(rt::kErrOutOfMemory, L"o", L"x")), FailureKind::kOutOfMemory);
}

// The watchdog with deadlines short enough for a test; what the session gives it is the same code.
TEST(MailWatchdog, AskWhenACallOutlivesItsDeadlineAgainAfterWaitingAndNeverOnceItCameBack) {
  {
    BoxAnswerer answerer(IDYES);  // wait longer, each time
    mail::Watchdog watchdog;
    watchdog.SetQuestion(modMain::WaitQuestionText(L"C:\\app\\Screenshot009.jpg"));
    watchdog.Arm(300);
    const auto texts = answerer.Answered(2);
    watchdog.Disarm();
    ASSERT_GE(texts.size(), 2u) << "asked again after the same deadline";
    EXPECT_EQ(texts[0], L"The mail program is not responding.\r\n\r\nThe screenshot was saved as "
                        L"C:\\app\\Screenshot009.jpg.\r\n\r\nKeep waiting for it? (No gives up and ends Orvane.)");
    EXPECT_FALSE(watchdog.GaveUp());
    // Calls that come back in time are never asked about; an operation's progress resets its clock.
    const size_t asked = answerer.Answered(0).size();
    watchdog.Arm(400);
    for (int i = 0; i < 6; ++i) {
      watchdog.Arm(250);
      ::Sleep(150);
      watchdog.Disarm();
    }
    watchdog.Disarm();
    ::Sleep(300);
    EXPECT_EQ(answerer.Answered(0).size(), asked);
  }
  {
    BoxAnswerer answerer(IDNO);  // give up
    mail::Watchdog watchdog;
    watchdog.Arm(200);
    answerer.Answered(1);
    for (int i = 0; i < 100 && !watchdog.GaveUp(); ++i) ::Sleep(20);
    EXPECT_TRUE(watchdog.GaveUp());
    watchdog.Disarm();  // the call came back cancelled, within the grace: the process goes on
  }
}

// While a question is open and the call comes back, the question goes by itself.
TEST(MailWatchdog, AQuestionStillOpenWhenTheCallComesBackIsClosed) {
  mail::Watchdog watchdog;
  watchdog.Arm(200);
  HWND box = nullptr;
  for (int i = 0; i < 250 && !box; ++i) {
    ::Sleep(20);
    auto boxes = desktop::WindowsOf(::GetCurrentProcessId(), L"#32770");
    if (!boxes.empty()) box = boxes.front();
  }
  ASSERT_NE(box, nullptr);
  watchdog.Disarm();
  for (int i = 0; i < 250 && ::IsWindow(box); ++i) ::Sleep(20);
  EXPECT_FALSE(::IsWindow(box));
  EXPECT_FALSE(watchdog.GaveUp());
}

// A call that comes back about when its deadline falls, again and again: around the moment the
// question is put, before its box exists, as well as after. No box may come up and stay for a call that
// has come back (the watchdog would then wait for the user on its way out).
TEST(MailWatchdog, ACallBackAsItsQuestionIsPutLeavesNoQuestionOpen) {
  mail::Watchdog watchdog;
  for (DWORD late = 0; late < 40; ++late) {
    watchdog.Arm(5);
    ::Sleep(late / 2);  // comes back from before the deadline to well after it
    watchdog.Disarm();
  }
  bool open = true;
  for (int i = 0; i < 100 && open; ++i) {
    ::Sleep(20);
    open = !desktop::WindowsOf(::GetCurrentProcessId(), L"#32770").empty();
  }
  EXPECT_FALSE(open) << "a question stayed open for a call that had come back";
  for (HWND box : desktop::WindowsOf(::GetCurrentProcessId(), L"#32770")) desktop::Press(box, IDYES);
  EXPECT_FALSE(watchdog.GaveUp());
}

// The session's own deadlines, shortened: a mail program that stops answering in the middle of the
// mail is asked about with the saved file's name, and waiting longer lets the mail be finished. (The
// end-to-end tests wait out the real deadlines once for each way of giving up.)
TEST_F(MailUnitTest, WaitingLongerForACallPastItsDeadlineFinishesTheMail) {
  session_.emplace(mail::Deadlines{250, 250});
  session_->SetWaitQuestion(modMain::WaitQuestionText(L"C:\\app\\Screenshot004.jpg"));
  attachments_.On(outlook::kAdd.id, [this](VARIANT* result, EXCEPINFO* exception) {
    ::Sleep(1500);  // past the deadline, several times
    return Returns(&attachment_)(result, exception);
  });
  BoxAnswerer answerer(IDYES);
  const modMain::DraftResult draft = modMain::ComposeMailDraft(*session_, L"C:\\app\\Screenshot004.jpg", L"s", L"r");
  EXPECT_EQ(draft.stage, modMain::DraftResult::Stage::kShown);
  const auto texts = answerer.Answered(1);
  ASSERT_FALSE(texts.empty()) << "nobody was asked about the call past its deadline";
  EXPECT_NE(texts[0].find(L"not responding"), std::wstring::npos);
  EXPECT_NE(texts[0].find(L"C:\\app\\Screenshot004.jpg"), std::wstring::npos);
  EXPECT_EQ(Calls().back(), L"mail:61606");  // displayed
  EXPECT_FALSE(session_->GaveUp());
}

// The helpers this process started that are still running (orvane.exe started again for the call).
std::vector<DWORD> OurHelpers() {
  std::vector<DWORD> found;
  win::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
    if (entry.th32ParentProcessID == ::GetCurrentProcessId() && ::lstrcmpiW(entry.szExeFile, L"orvane.exe") == 0)
      found.push_back(entry.th32ProcessID);
  return found;
}

// A net for a test whose question never comes: after the time given, the helpers are ended, so that
// the call comes back and the test fails instead of waiting for ever.
class EndHelpersAfter {
 public:
  explicit EndHelpersAfter(DWORD ms) : thread_([this, ms] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (done_changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) return;
      for (DWORD id : OurHelpers())
        if (win::KernelHandle helper{::OpenProcess(PROCESS_TERMINATE, FALSE, id)})
          ::TerminateProcess(helper.get(), 99);
    }) {}
  ~EndHelpersAfter() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_changed_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  std::thread thread_;
};

// The default mail program's stand-in, a saved screenshot, and a session whose start deadline is two
// seconds; the call is made by orvane.exe as a helper, as in a run.
class MapiUnitTest : public ::testing::Test {
 protected:
  static constexpr DWORD kStartMs = 2000;

  void SetUp() override {
    testing_support::WriteBytes(shot_, "\xFF\xD8\xFF\xD9");
    session_.SetWaitQuestion(modMain::WaitQuestionText(shot_));
  }
  void TearDown() override { EXPECT_TRUE(OurHelpers().empty()) << "a helper was left behind"; }

  // Hands the screenshot to the default mail program, as a run does.
  bool Show(HWND was_in_front, const std::wstring& subject = L"Screen Capture: T",
            const std::wstring& recipients = L"a@example.com") {
    return mail::ShowMailInDefaultProgram(session_, nullptr, was_in_front, shot_, subject, recipients,
                                          testing_support::BuildFolder() + L"\\orvane.exe");
  }
  // The stand-in's mail window, once it shows; null when none does in time.
  static HWND WaitForMailWindow(DWORD timeout_ms = 15000) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 20, ::Sleep(20)) {
      auto windows = testing_support::MapiStandIn::MailWindows();
      if (!windows.empty()) return windows.front();
    }
    return nullptr;
  }
  // The same, for a call that is given up or breaks: what was raised.
  std::optional<rt::Failure> ShowRaising() {
    try {
      Show(nullptr);
    } catch (const rt::Failure& error) {
      return error;
    }
    return std::nullopt;
  }

  testing_support::MapiStandIn client_;
  testing_support::TempFolder folder_{L"orvane-mapi-unit"};
  const std::wstring shot_ = folder_ / L"Screenshot001.jpg";
  win::ComApartment apartment_;
  mail::Session session_{mail::Deadlines{30000, kStartMs}};
  EndHelpersAfter net_{30000};
};

// A default mail program whose window is up has no deadline: the user writes for as long as they like.
// Its start deadline here is shorter than the time the mail stays open.
TEST_F(MapiUnitTest, AMailOpenLongerThanTheStartDeadlineIsNeverAskedAbout) {
  std::atomic<bool> asked{false}, shown{false};
  std::thread user([&] {
    HWND mail = WaitForMailWindow();
    shown = mail != nullptr;
    for (DWORD waited = 0; waited < 3 * kStartMs && mail; waited += 100) {  // three times the deadline
      ::Sleep(100);
      if (!desktop::WindowsOf(::GetCurrentProcessId(), L"#32770").empty()) asked = true;
    }
    if (mail) ::PostMessageW(mail, WM_CLOSE, 0, 0);
  });
  const bool sent = Show(nullptr);
  user.join();
  EXPECT_TRUE(shown) << "the mail never showed";
  EXPECT_FALSE(asked) << "asked while the user writes the mail";
  EXPECT_TRUE(sent);  // the stand-in's window closed is a mail taken
  EXPECT_FALSE(session_.GaveUp());
}

// The window the user was in gets the foreground back as the question closes, and when its program is
// slow to take it, that comes after the mail program was called. That is no sign of the mail program,
// nor is a tooltip shown meanwhile: its start keeps the deadline, and a start past it is asked about.
TEST_F(MapiUnitTest, TheWindowInFrontComingBackOrATooltipIsNoSignOfTheMailProgram) {
  client_.Answer(L"Slow");
  testing_support::OrvaneProcess other(testing_support::BuildFolder(), L"minimal_msgbox.exe");  // another program
  const HWND users = desktop::WaitForDialog(other.id(), 15000, other.handle());
  ASSERT_NE(users, nullptr);
  desktop::SampleWindow ours(L"Ours", 200, 100);  // our own window in front as the mail program is called
  ASSERT_TRUE(ours.BringToFront());

  BoxAnswerer answerer(IDYES);
  std::atomic<bool> came_back{false}, tip_shown{false};
  std::thread user([&] {
    ::Sleep(300);
    ::SetForegroundWindow(users);
    for (int i = 0; i < 50 && !came_back; ++i, ::Sleep(20)) came_back = ::GetForegroundWindow() == users;
    // Shown as a tooltip is: a top-level window that never takes the focus.
    HWND tip = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"STATIC", L"tip", WS_POPUP, 0,
                                 0, 80, 20, nullptr, nullptr, nullptr, nullptr);
    ::ShowWindow(tip, SW_SHOWNOACTIVATE);
    tip_shown = ::IsWindowVisible(tip) != FALSE;
    for (int i = 0; i < 500; ++i, ::Sleep(20)) {
      desktop::SampleWindow::Pump();
      auto windows = testing_support::MapiStandIn::MailWindows();
      if (windows.empty()) continue;
      ::PostMessageW(windows.front(), WM_CLOSE, 0, 0);
      break;
    }
    ::DestroyWindow(tip);
  });
  const bool sent = Show(users);
  user.join();
  ASSERT_TRUE(came_back) << "the other program's window never came to the front";
  ASSERT_TRUE(tip_shown);
  EXPECT_FALSE(answerer.Answered(1, 0).empty()) << "a start past its deadline was not asked about";
  EXPECT_TRUE(sent);
  desktop::Press(users, IDCANCEL);
  EXPECT_EQ(other.WaitForExit(), 0u);
}

// A library stuck in the call, showing nothing, is asked about whatever the user clicks meanwhile:
// another program's window, or one of ours, brought to the front. Giving up ends the helper that makes
// the call, and the call comes back given up, with nothing of it left running.
TEST_F(MapiUnitTest, AHungLibraryIsAskedAboutWhicheverWindowComesToTheFrontAndGivingUpEndsItsHelper) {
  client_.Answer(L"Hang");
  testing_support::OrvaneProcess other(testing_support::BuildFolder(), L"minimal_msgbox.exe");
  const HWND others = desktop::WaitForDialog(other.id(), 15000, other.handle());
  ASSERT_NE(others, nullptr);
  desktop::SampleWindow ours(L"Ours", 200, 100);
  std::atomic<bool> in_front{false};
  std::thread user([&] {
    ::Sleep(300);
    ::SetForegroundWindow(others);
    for (int i = 0; i < 50 && !in_front; ++i, ::Sleep(20)) in_front = ::GetForegroundWindow() == others;
    ::Sleep(300);
    ::SetForegroundWindow(ours.hwnd());
  });
  BoxAnswerer answerer(IDNO);
  const std::optional<rt::Failure> raised = ShowRaising();
  user.join();
  ASSERT_TRUE(in_front) << "the other program's window never came to the front";
  const auto asked = answerer.Answered(1, 0);
  ASSERT_FALSE(asked.empty()) << "the hung library was never asked about";
  EXPECT_NE(asked[0].find(L"The screenshot was saved as " + shot_ + L"."), std::wstring::npos);
  EXPECT_TRUE(session_.GaveUp());
  ASSERT_TRUE(raised);
  EXPECT_EQ(raised->number(), static_cast<long>(HRESULT_FROM_WIN32(ERROR_CANCELLED)));
  EXPECT_EQ(raised->kind(), rt::FailureKind::kGaveUp);
  EXPECT_TRUE(OurHelpers().empty()) << "the helper outlived giving up";
  EXPECT_EQ(client_.Journal().size(), 1u);
  desktop::Press(others, IDCANCEL);
  EXPECT_EQ(other.WaitForExit(), 0u);
}

// The deadline stops while the mail program's window is up, and runs again once it has gone with the
// call still not back.
TEST_F(MapiUnitTest, AMailWindowThatWentAwayLetsTheDeadlineRunAgain) {
  client_.Answer(L"Vanish");  // four seconds of window, twice the deadline, then nothing
  BoxAnswerer answerer(IDNO);
  std::atomic<bool> shown{false}, asked_while_shown{false};
  std::thread user([&] {
    shown = WaitForMailWindow() != nullptr;
    const size_t asked_before = answerer.Answered(0).size();
    for (int i = 0; i < 750 && !testing_support::MapiStandIn::MailWindows().empty(); ++i) ::Sleep(20);
    asked_while_shown = answerer.Answered(0).size() != asked_before;
  });
  const std::optional<rt::Failure> raised = ShowRaising();
  user.join();
  ASSERT_TRUE(shown) << "the mail never showed";
  EXPECT_FALSE(asked_while_shown) << "asked while the mail program's window was up";
  EXPECT_FALSE(answerer.Answered(1, 0).empty()) << "never asked once the window had gone";
  EXPECT_TRUE(session_.GaveUp());
  EXPECT_TRUE(raised);
}

// A compose window that stops answering its messages is no sign of a mail program at work: once the
// system counts it as not responding (five seconds), the deadline runs.
TEST_F(MapiUnitTest, AFrozenMailWindowDoesNotStopTheDeadline) {
  client_.Answer(L"Frozen");
  BoxAnswerer answerer(IDNO);
  std::atomic<bool> shown{false};
  std::thread user([&] { shown = WaitForMailWindow() != nullptr; });
  const std::optional<rt::Failure> raised = ShowRaising();
  user.join();
  EXPECT_TRUE(shown) << "the mail never showed";
  EXPECT_FALSE(answerer.Answered(1, 0).empty()) << "a frozen mail window kept the question away";
  EXPECT_TRUE(session_.GaveUp());
  EXPECT_TRUE(raised);
  EXPECT_TRUE(testing_support::MapiStandIn::MailWindows().empty()) << "the frozen window outlived its helper";
}

// A library that crashes takes only the helper down, with no crash dialog from the system: the call
// comes back as a crash with the exception's code.
TEST_F(MapiUnitTest, ACrashingLibraryComesBackAsACrashWithoutACrashDialog) {
  client_.Answer(L"Crash");
  const std::vector<HWND> before = desktop::WindowsOf(0);
  bool crashed = false;
  try {
    Show(nullptr);
  } catch (const rt::Failure& error) {
    crashed = error.kind() == rt::FailureKind::kMailProgramCrashed;
    EXPECT_EQ(error.number(), static_cast<long>(0xC0000005));
    EXPECT_EQ(error.description(), L"The mail program's library crashed: access violation (0xC0000005)");
  }
  EXPECT_TRUE(crashed);
  EXPECT_FALSE(session_.GaveUp());
  EXPECT_EQ(client_.Journal().size(), 1u);
  for (int i = 0; i < 10; ++i, ::Sleep(100)) {  // a crash dialog would be up by now
    for (HWND window : desktop::WindowsOf(0))
      EXPECT_NE(std::find(before.begin(), before.end(), window), before.end()) << "a new window after the crash";
  }
}

// The mail reaches the library as it was given, whatever its texts hold: quotes, switches and
// characters outside any code page, at the longest a title (511) and the setting (1,023) can be.
TEST_F(MapiUnitTest, TheMailReachesTheLibraryWholeAtItsLongest) {
  client_.Answer(L"UserAbort");
  std::wstring title = L"\" /SimpleMapiHelper 1 & echo %PATH% | \\\" \U0001F4E7 Gr\u00FC\u00DFe ";
  while (title.size() < 511) title += L"x";
  std::wstring recipients = L"\"Quist; \\\"A\\\" /x\" <arvel@example.com>; \u00E9l\u00E8ve@example.com";
  while (recipients.size() < 1023) recipients += recipients.size() % 40 == 0 ? L"; " : L"b";
  ASSERT_EQ(title.size(), 511u);
  ASSERT_EQ(recipients.size(), 1023u);
  EXPECT_FALSE(Show(nullptr, L"Screen Capture: " + title, recipients));  // closed unsent: no error

  const auto journal = client_.Journal();
  ASSERT_EQ(journal.size(), 1u);
  std::wstring expected_recipients;
  for (const mail::Recipient& recipient : mail::SplitRecipients(recipients))
    expected_recipients += (expected_recipients.empty() ? L"MAPI_TO " : L"; MAPI_TO ") +
                           (recipient.name.empty() ? recipient.address : recipient.name) + L" <SMTP:" +
                           recipient.address + L">";
  EXPECT_NE(journal[0].find(" subject=" + testing_support::Utf8(L"Screen Capture: " + title) + " recipients=[" +
                            testing_support::Utf8(expected_recipients) + "] files=[" + testing_support::Utf8(shot_) +
                            " | Screenshot001.jpg]"),
            std::string::npos)
      << journal[0];
}

// The hand-over block, and what the helper's command line may hold.
TEST(MapiHandOver, CarriesTheMailWholeAndRefusesABlockThatIsNot) {
  const mail::MailForHelper mail{reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)), L"C:\\a\\Screenshot001.jpg",
                                 std::wstring(511, L'\u00FC'), std::wstring(1023, L';')};
  const std::vector<std::byte> block = mail::HandOverBlock(mail);
  const auto read = mail::ReadHandOver(block.data(), block.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->owner, mail.owner);
  EXPECT_EQ(read->attachment_path, mail.attachment_path);
  EXPECT_EQ(read->subject, mail.subject);
  EXPECT_EQ(read->recipients, mail.recipients);
  EXPECT_FALSE(mail::ReadHandOver(block.data(), block.size() - 1)) << "a block cut short";
  EXPECT_FALSE(mail::ReadHandOver(block.data(), 16));
  std::vector<std::byte> lying = block;
  lying[4] = std::byte{0xFF};  // a length the block does not hold
  EXPECT_FALSE(mail::ReadHandOver(lying.data(), lying.size()));
  const auto empty = mail::ReadHandOver(mail::HandOverBlock({}).data(), 32);
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->subject.empty());

  EXPECT_TRUE(mail::IsHelperCommand(L"/SimpleMapiHelper 1234"));
  EXPECT_TRUE(mail::IsHelperCommand(L" /SimpleMapiHelper 18446744073709551615 "));
  for (const wchar_t* not_one : {L"", L"/SimpleMapiHelper", L"/SimpleMapiHelper ", L"/SimpleMapiHelper 12x",
                                 L"/SimpleMapiHelper 18446744073709551616", L"/SimpleMapiHelper -1",
                                 L"/simplemapihelper 1", L"x /SimpleMapiHelper 1", L"/SimpleMapiHelper 1 2"})
    EXPECT_FALSE(mail::IsHelperCommand(not_one)) << testing_support::Utf8(not_one);
}

TEST(MapiHandOver, AHelperThatEndedWithoutAnAnswerIsNamedByHowItEnded) {
  EXPECT_EQ(mail::HowTheLibraryEnded(0xC0000005), L"crashed: access violation (0xC0000005)");
  EXPECT_EQ(mail::HowTheLibraryEnded(0xC00000FD), L"crashed: stack overflow (0xC00000FD)");
  EXPECT_EQ(mail::HowTheLibraryEnded(0xC0000135), L"crashed: exception 0xC0000135");
  EXPECT_EQ(mail::HowTheLibraryEnded(3), L"ended its process with exit code 3");
}

// Which deadline a call has: the start of the mail program has its own, longer one.
TEST(MailSession, AStartHasTheStartDeadlineAndACallTheCallDeadline) {
  win::ComApartment apartment;
  mail::Session session(mail::Deadlines{150, 1500});
  BoxAnswerer answerer(IDYES);
  {
    mail::Session::Watched start(session, mail::Deadline::kStart);
    ::Sleep(600);
  }
  EXPECT_TRUE(answerer.Answered(0).empty()) << "a start was asked about at the call deadline";
  {
    mail::Session::Watched call(session, mail::Deadline::kCall);
    EXPECT_FALSE(answerer.Answered(1, 3000).empty()) << "a call past its deadline was not asked about";
  }
  EXPECT_FALSE(session.GaveUp());
}

TEST(BusyRetry, RetriesCallsTurnedAwayForLaterWhilePatienceLasts) {
  EXPECT_EQ(mail::RetryDelay(0, SERVERCALL_RETRYLATER, 30000), 250u);
  EXPECT_EQ(mail::RetryDelay(29999, SERVERCALL_RETRYLATER, 30000), 250u);
  EXPECT_EQ(mail::RetryDelay(30000, SERVERCALL_RETRYLATER, 30000), static_cast<DWORD>(-1));
  EXPECT_EQ(mail::RetryDelay(0, SERVERCALL_REJECTED, 30000), static_cast<DWORD>(-1));  // refused for good
  // The session's filter answers rejected calls, and the filter that was there before is put back
  // when the session ends.
  win::ComApartment apartment;
  IMessageFilter* before = nullptr;
  ::CoRegisterMessageFilter(nullptr, &before);
  EXPECT_EQ(before, nullptr);
  {
    mail::Session session;
    { mail::Session::Watched first_call(session, mail::Deadline::kCall); }  // begins the session
    IMessageFilter* current = nullptr;
    ::CoRegisterMessageFilter(nullptr, &current);
    ASSERT_NE(current, nullptr);
    DWORD delay = current->RetryRejectedCall(nullptr, 100, SERVERCALL_RETRYLATER);
    EXPECT_EQ(delay, 250u);
    ::CoRegisterMessageFilter(current, nullptr);  // hand it back
    current->Release();
  }
  IMessageFilter* after = nullptr;
  ::CoRegisterMessageFilter(nullptr, &after);
  EXPECT_EQ(after, nullptr);
}

// The run reaches its question without entering an apartment; the mail steps enter one, once, and the
// end of the process leaves it after letting the application object go.
TEST(OutlookApartment, IsEnteredOnceForTheMailCallsAndLeftWithTheApplicationObject) {
  std::thread([] {  // a thread of its own, in no apartment yet
    HRESULT free_thread = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_EQ(free_thread, S_OK);
    ::CoUninitialize();

    {
      mail::Session session;
      EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "entered before the first mail call";
      ::CoUninitialize();
      { mail::Session::Watched first_call(session, mail::Deadline::kCall); }  // enters it
      { mail::Session::Watched second_call(session, mail::Deadline::kCall); }  // and not again
      EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);  // single-threaded now
    }

    HRESULT after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(after, S_OK) << "the apartment was entered more often than left";
    if (SUCCEEDED(after)) ::CoUninitialize();
  }).join();
}

}  // namespace
