#include "mail/mapi_helper.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <utility>

#include "mail/session.h"
#include "mail/simple_mapi.h"
#include "mail/watchdog.h"
#include "platform/runtime/app.h"
#include "platform/runtime/failure.h"
#include "platform/runtime/ui.h"
#include "platform/runtime/win_error.h"
#include "platform/win/unique.h"

namespace mail {
namespace {

constexpr std::wstring_view kSwitch = L"/SimpleMapiHelper";

// The block's header; the three texts follow it back to back, without terminators.
struct HandOverHeader {
  uint32_t size;        // bytes: the header and the texts
  uint32_t lengths[3];  // characters of the attachment path, the subject and the recipients
  uint64_t owner;       // the handle of the window that owns the mail program's window
  LONG answer;          // an Answer, written by the helper once the library has answered
  uint32_t code;        // the library's answer, or the system's error when it could not be loaded
};
static_assert(sizeof(HandOverHeader) == 32, "the texts start aligned");

enum Answer : LONG { kNoAnswer = 0, kAnswered = 1, kNotLoaded = 2 };

// The helper's exit code when it could not read the mail: an application's own code ("customer" bit
// set, "NTSTATUS Values"), which is neither a Simple MAPI result nor an exception's code.
constexpr DWORD kNotHandedOver = 0x20000001;
// The helper's exit code when the C++ runtime gives up (std::terminate), as abort's.
constexpr DWORD kTerminated = 3;
// How long an ended helper may take to go.
constexpr DWORD kEndGraceMs = 5000;

std::wstring Source() { return rt::App::EXEName() + L".MAPISendMail"; }

// The runtime's own: a call that set no error code is raised as E_FAIL, never as a "failure" numbered 0.
[[noreturn]] void RaiseLastError() { rt::RaiseLastError(Source(), L"The mail program's helper could not be run"); }

// This executable's full path.
std::wstring ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) RaiseLastError();
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);  // cut short: ERROR_INSUFFICIENT_BUFFER
  }
}

// The handle a helper's command line names: "/SimpleMapiHelper <number>".
std::optional<HANDLE> HandleOf(std::wstring_view arguments) {
  while (!arguments.empty() && arguments.front() == L' ') arguments.remove_prefix(1);
  while (!arguments.empty() && arguments.back() == L' ') arguments.remove_suffix(1);
  if (arguments.substr(0, kSwitch.size()) != kSwitch) return std::nullopt;
  arguments.remove_prefix(kSwitch.size());
  if (arguments.size() < 2 || arguments.size() > 21 || arguments.front() != L' ') return std::nullopt;
  uint64_t value = 0;
  for (wchar_t character : arguments.substr(1)) {
    if (character < L'0' || character > L'9') return std::nullopt;
    const auto digit = static_cast<uint64_t>(character - L'0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

// A crash in the mail program's library ends the helper at once with the exception's code, which the
// run reads, and shows nothing. Windows Error Reporting is off by the error mode ("SetErrorMode":
// SEM_NOGPFAULTERRORBOX), but a library may set the mode back, and Wine ignores it: its debugger puts up
// "Program Error" and holds the process until that is closed. A filter that ends the process is heard
// before either ("SetUnhandledExceptionFilter"). TerminateProcess runs no library's detach code
// ("TerminateProcess", Remarks), which a crashed library could hang in.
LONG WINAPI EndWithTheExceptionsCode(EXCEPTION_POINTERS* exception) {
  ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The attributes of the new process: the handles it inherits, this one alone, not every inheritable
// handle of ours ("UpdateProcThreadAttribute", PROC_THREAD_ATTRIBUTE_HANDLE_LIST); and where a job is
// given and the system takes it, the job it starts in (PROC_THREAD_ATTRIBUTE_JOB_LIST, from Windows 10,
// version 1607), so that no moment passes in which the run could end and leave it behind.
class InheritedHandles {
 public:
  InheritedHandles(HANDLE handle, HANDLE job) : handle_(handle), job_(job) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 2, 0, &size);  // fails, giving the size
    storage_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!::InitializeProcThreadAttributeList(list_, 2, 0, &size)) RaiseLastError();
    initialised_ = true;
    if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_, nullptr,
                                     nullptr))
      RaiseLastError();
    starts_in_job_ = job_ && ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job_, sizeof job_,
                                                         nullptr, nullptr);
  }
  // Whether the process starts in the job; otherwise it is put there once made.
  bool starts_in_job() const { return starts_in_job_; }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  ~InheritedHandles() {
    if (initialised_) ::DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  HANDLE handle_;  // the list points at it
  HANDLE job_;     // and at this
  bool starts_in_job_ = false;
  std::vector<std::byte> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  bool initialised_ = false;
};

// The helper's process, ended if the run leaves it behind (a failure while it waits).
class HelperProcess {
 public:
  explicit HelperProcess(const PROCESS_INFORMATION& info) : process_(info.hProcess), thread_(info.hThread) {}
  ~HelperProcess() { End(); }
  HANDLE get() const { return process_.get(); }
  HANDLE thread() const { return thread_.get(); }
  bool Ended() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
  void End() {
    if (Ended()) return;
    ::TerminateProcess(process_.get(), rt::exit_code::kGaveUp);
    ::WaitForSingleObject(process_.get(), kEndGraceMs);  // TerminateProcess only starts the ending
  }

 private:
  win::KernelHandle process_;
  win::KernelHandle thread_;
};

// A job that ends the helper with the run, however the run ends: from outside, or by the watchdog's
// last resort. Its processes end when the run's handle to it closes ("JOBOBJECT_BASIC_LIMIT_INFORMATION",
// JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE); a program the helper starts, the mail program itself, stays out
// of it and lives on (JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK). Null where no job can be made.
win::KernelHandle JobEndingWithTheRun() {
  win::KernelHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) job.reset();
  return job;
}

// Waits for the helper with this thread's messages answered: the hidden form owns the mail program's
// window across the processes, and the watchdog wakes us with a message when the user gives up. False
// when the user gave up; the helper is ended then.
bool WaitFor(Session& session, HelperProcess& helper) {
  for (;;) {
    if (session.GaveUp()) {
      helper.End();
      return false;
    }
    HANDLE process = helper.get();
    const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, 0);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke == WAIT_FAILED) RaiseLastError();
    rt::DoEvents();
  }
}

HandOverHeader HeaderOf(const std::byte* block) {
  HandOverHeader header;
  std::memcpy(&header, block, sizeof header);
  return header;
}

}  // namespace

std::vector<std::byte> HandOverBlock(const MailForHelper& mail) {
  const std::wstring* const texts[] = {&mail.attachment_path, &mail.subject, &mail.recipients};
  HandOverHeader header{};
  uint64_t size = sizeof header;
  for (size_t i = 0; i < 3; ++i) {
    header.lengths[i] = static_cast<uint32_t>(texts[i]->size());
    size += texts[i]->size() * sizeof(wchar_t);
  }
  if (size > UINT32_MAX / 2) rt::Raise(rt::kErrInternal, Source(), L"The mail is too large to hand over");
  header.size = static_cast<uint32_t>(size);
  header.owner = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(mail.owner));
  header.answer = kNoAnswer;
  std::vector<std::byte> block(header.size);
  std::memcpy(block.data(), &header, sizeof header);
  size_t at = sizeof header;
  for (const std::wstring* text : texts) {
    std::memcpy(block.data() + at, text->data(), text->size() * sizeof(wchar_t));
    at += text->size() * sizeof(wchar_t);
  }
  return block;
}

std::optional<MailForHelper> ReadHandOver(const std::byte* block, size_t size) {
  if (!block || size < sizeof(HandOverHeader)) return std::nullopt;
  const HandOverHeader header = HeaderOf(block);
  const uint64_t expected = sizeof header + (uint64_t{header.lengths[0]} + header.lengths[1] + header.lengths[2]) *
                                                sizeof(wchar_t);
  if (header.size != expected || header.size > size) return std::nullopt;
  MailForHelper mail;
  mail.owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(header.owner));
  std::wstring* const texts[] = {&mail.attachment_path, &mail.subject, &mail.recipients};
  size_t at = sizeof header;
  for (size_t i = 0; i < 3; ++i) {
    texts[i]->resize(header.lengths[i]);
    std::memcpy(texts[i]->data(), block + at, header.lengths[i] * sizeof(wchar_t));
    at += header.lengths[i] * sizeof(wchar_t);
  }
  return mail;
}

bool IsHelperCommand(std::wstring_view arguments) { return HandleOf(arguments).has_value(); }

HelperEnd CallInHelperProcess(Session& session, const MailForHelper& mail, const std::wstring& program,
                              std::function<bool()> up) {
  const std::vector<std::byte> block = HandOverBlock(mail);
  // The mail goes in memory that the helper inherits, never on its command line, which holds only our
  // switch and the handle's number: nothing in a title or a recipient can become an argument.
  SECURITY_ATTRIBUTES inheritable{.nLength = sizeof(SECURITY_ATTRIBUTES), .lpSecurityDescriptor = nullptr,
                                  .bInheritHandle = TRUE};
  win::KernelHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0,
                                                 static_cast<DWORD>(block.size()), nullptr));
  if (!mapping) RaiseLastError();
  win::MappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (!view) RaiseLastError();
  std::memcpy(view.get(), block.data(), block.size());

  const std::wstring path = program.empty() ? ThisProgram() : program;
  std::wstring command = L"\"" + path + L"\" " + std::wstring(kSwitch) + L" " +
                         std::to_wstring(reinterpret_cast<uintptr_t>(mapping.get()));
  const win::KernelHandle job = JobEndingWithTheRun();
  PROCESS_INFORMATION info{};
  // The program is named apart from the command line, so that no other is looked for along a path
  // with blanks ("CreateProcessW", lpApplicationName). Suspended until it may take the foreground.
  // Whether it was made (else the system's error) and whether it started in the job.
  struct Started {
    bool made;
    bool in_job;
    DWORD error;
  };
  const auto start = [&](HANDLE start_in) {
    InheritedHandles inherited(mapping.get(), start_in);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = inherited.get();
    const bool made = ::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE,
                                       CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                       &startup.StartupInfo, &info) != FALSE;
    return Started{made, made && inherited.starts_in_job(), made ? ERROR_SUCCESS : ::GetLastError()};
  };
  Session::Watched watched(session, Deadline::kStart, std::move(up));
  Started started = start(job.get());
  // A job the run's own job does not let it start in (before Windows 8): without it.
  if (!started.made && job) started = start(nullptr);
  if (!started.made) {
    ::SetLastError(started.error);
    RaiseLastError();
  }
  const bool in_job = started.in_job;
  HelperProcess helper(info);
  // Where the system cannot start it in the job (before Windows 10), it is put there before it
  // runs: a run ended from outside in between leaves it suspended. Where the run is in a job already
  // that takes no other, the helper goes without.
  if (job && !in_job) ::AssignProcessToJobObject(job.get(), helper.get());
  // The library shows the mail from the helper, which must bring it in front of the window the user was
  // in: we pass it our right to the foreground ("AllowSetForegroundWindow": the caller must be able to
  // set the foreground itself, as the process that took the user's OK is).
  ::AllowSetForegroundWindow(info.dwProcessId);
  if (::ResumeThread(helper.thread()) == static_cast<DWORD>(-1)) RaiseLastError();
  const bool waited = WaitFor(session, helper);
  // A library ended with our hidden form disabled, as a modal window disables its owner, would leave
  // the owner of our reports disabled.
  if (mail.owner && !::IsWindowEnabled(mail.owner)) ::EnableWindow(mail.owner, TRUE);
  if (!waited) return {HelperEnd::Kind::kGivenUp, 0};

  DWORD exit_code = 0;
  if (!::GetExitCodeProcess(helper.get(), &exit_code)) RaiseLastError();
  const HandOverHeader answer = HeaderOf(static_cast<const std::byte*>(view.get()));
  // Both must agree: a library that ends the process itself, even with a small number, has not answered.
  if (answer.answer == kAnswered && exit_code == answer.code) return {HelperEnd::Kind::kAnswered, exit_code};
  if (answer.answer == kNotLoaded && exit_code == answer.code) return {HelperEnd::Kind::kNotLoaded, exit_code};
  if (answer.answer == kNoAnswer && exit_code == kNotHandedOver)
    rt::Raise(rt::kErrInternal, Source(), L"The mail could not be handed to the mail program's helper");
  return {HelperEnd::Kind::kBroke, exit_code};
}

int RunHelper(std::wstring_view arguments) {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::SetUnhandledExceptionFilter(EndWithTheExceptionsCode);
  // Without this the runtime's abort would put up its own message.
  std::set_terminate([] { ::TerminateProcess(::GetCurrentProcess(), kTerminated); });

  const std::optional<HANDLE> handle = HandleOf(arguments);
  win::KernelHandle mapping(handle.value_or(nullptr));
  if (!mapping) return static_cast<int>(kNotHandedOver);
  win::MappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (!view) return static_cast<int>(kNotHandedOver);
  MEMORY_BASIC_INFORMATION region{};
  if (::VirtualQuery(view.get(), &region, sizeof region) == 0) return static_cast<int>(kNotHandedOver);
  auto* block = static_cast<std::byte*>(view.get());
  const std::optional<MailForHelper> mail = ReadHandOver(block, region.RegionSize);
  if (!mail) return static_cast<int>(kNotHandedOver);

  LONG answer = kAnswered;
  DWORD code = 0;
  try {
    code = SendThroughMapi(mail->owner, mail->attachment_path, mail->subject, mail->recipients);
  } catch (const rt::Error& error) {
    answer = kNotLoaded;
    code = static_cast<DWORD>(error.number());
  }
  auto* header = reinterpret_cast<HandOverHeader*>(block);
  header->code = code;
  ::InterlockedExchange(&header->answer, answer);
  return static_cast<int>(code);
}

}  // namespace mail
