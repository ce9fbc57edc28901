// Each step of a run, in process, for windows of 1280x720, 1920x1080 and 3840x2160 in front: the
// capture, the conversion to a DIB, the JPEG file at quality 60 (and the encoder alone, into memory),
// then the two mail steps against the mail program stand-in. Prints medians over repeated runs and
// leaves each size's captured pixels as capture-WxH.bmp.
//
// The window in front belongs to another process (this program started again with --window), as the
// user's window does: reading another process's window costs more than reading one's own.
//
// With --jpeg it measures only the JPEG step on those captures and writes the medians to ours-jpeg.tsv,
// for jpeg_reference (the native side), which measures libjpeg-turbo on the very same pixels right
// after; the two alternate over several rounds, so that both sides see the same machine.
//
//   run_bench OUT_FOLDER [repetitions]
//   run_bench --jpeg OUT_FOLDER [repetitions]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "median.h"
#include "capture/screen_capture.h"
#include "support/desktop.h"
#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "mail/session.h"
#include "mail/outlook.h"
#include "jpeg/encoder/encoder.h"
#include "platform/runtime/cpu.h"
#include "platform/runtime/errors.h"
#include "platform/win/com.h"
#include "support/standin.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

class CountingSink final : public jpeg::Sink {
 public:
  bool Put(const uint8_t*, size_t size) override {
    bytes += size;
    return true;
  }
  size_t bytes = 0;
};

bool WriteBmp(const cDIBSection& image, const std::wstring& path) {
  const DWORD bits_size = static_cast<DWORD>(image.BytesPerScanLine()) * static_cast<DWORD>(image.Height());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + bits_size;
  BITMAPINFOHEADER info{.biSize = sizeof(BITMAPINFOHEADER), .biWidth = image.Width(), .biHeight = image.Height(),
                        .biPlanes = 1, .biBitCount = 24, .biCompression = BI_RGB, .biSizeImage = bits_size,
                        .biXPelsPerMeter = 0, .biYPelsPerMeter = 0, .biClrUsed = 0, .biClrImportant = 0};
  HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(out, &file, sizeof file, &written, nullptr) && ::WriteFile(out, &info, sizeof info, &written, nullptr) &&
            ::WriteFile(out, image.DIBSectionBitsPtr(), bits_size, &written, nullptr) && written == bits_size;
  ::CloseHandle(out);
  return ok;
}

// Closes the stand-in's windows of a class and waits until they are gone.
void CloseWindows(const wchar_t* window_class) {
  for (HWND window : testing_support::StandIn::Windows(window_class)) ::PostMessageW(window, WM_CLOSE, 0, 0);
  for (int i = 0; i < 200 && !testing_support::StandIn::Windows(window_class).empty(); ++i) {
    desktop::SampleWindow::Pump();
    ::Sleep(5);
  }
}

constexpr wchar_t kReadyEvent[] = L"OrvaneBenchWindowReady";

// The child's part: shows the window, says so, and keeps it until it is closed.
int ShowWindowUntilClosed(int width, int height) {
  desktop::SampleWindow window(L"Quarterly report - Orvane benchmark", width - 16, height - 40, 0, 0,
                               desktop::SampleWindow::Content::kScreen);
  ::SetWindowPos(window.hwnd(), nullptr, 0, 0, width, height, SWP_NOZORDER);
  if (!window.BringToFront()) std::fwprintf(stderr, L"the window did not come to the front\n");
  HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
  if (ready) {
    ::SetEvent(ready);
    ::CloseHandle(ready);
  }
  while (::IsWindow(window.hwnd())) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    desktop::SampleWindow::Pump();
  }
  return 0;
}

// A window of the given outer size in front, shown by another process; closed when this goes.
class ForeignWindow {
 public:
  ForeignWindow(int width, int height) {
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(exe) + L"\" --window " + std::to_wstring(width) + L" " + std::to_wstring(height);
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, kReadyEvent);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (::CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
      ::CloseHandle(process_.hThread);
      HANDLE both[2] = {ready, process_.hProcess};
      ::WaitForMultipleObjects(2, both, FALSE, 30000);
      window_ = ::GetForegroundWindow();
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window_, &owner);
      if (owner != process_.dwProcessId) std::fwprintf(stderr, L"the benchmark window is not in front\n");
      RECT rect{};
      ::GetWindowRect(window_, &rect);
      if (rect.right - rect.left != width || rect.bottom - rect.top != height)
        std::fwprintf(stderr, L"the window is %ldx%ld, not %dx%d (screen too small?)\n", rect.right - rect.left,
                      rect.bottom - rect.top, width, height);
    }
    ::CloseHandle(ready);
  }
  ForeignWindow(const ForeignWindow&) = delete;
  ForeignWindow& operator=(const ForeignWindow&) = delete;
  ~ForeignWindow() {
    if (!process_.hProcess) return;
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(process_.hProcess, 1);
    ::CloseHandle(process_.hProcess);
  }

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// One JPEG step on the image as the run takes it: the writer's new-file call (WriteJpegFile's way of
// writing, published under a name that must still be free; replacing a file would add a directory
// search), then the encoder alone into memory. The file is removed afterwards, outside the times.
struct JpegTimes {
  double file = 0, encode = 0;
  size_t bytes = 0;
};

JpegTimes TimeJpeg(cDIBSection& image, const std::wstring& path) {
  JpegTimes times;
  const auto t0 = Clock::now();
  mIntelJPEGLibrary::WriteNewJpegFile(
      image, path, [&path](const std::vector<std::wstring>&) { return path + L".taken.jpg"; }, 60);
  const auto t1 = Clock::now();
  const ptrdiff_t stride = image.BytesPerScanLine();
  const auto* bits = static_cast<const uint8_t*>(image.DIBSectionBitsPtr());
  CountingSink sink;
  jpeg::Encode({bits + (image.Height() - 1) * stride, -stride, image.Width(), image.Height()}, 60, sink);
  times.file = Ms(t0, t1);
  times.encode = Ms(t1, Clock::now());
  times.bytes = sink.bytes;
  ::DeleteFileW(path.c_str());
  return times;
}

// The JPEG step alone on the captures the full run left: the JPEG file, and the encoder into memory.
int MeasureJpeg(const std::wstring& folder, int repetitions) {
  std::FILE* table = _wfopen((folder + L"\\ours-jpeg.tsv").c_str(), L"w");
  if (!table) return 1;
  for (const wchar_t* size : {L"1280x720", L"1920x1080", L"3840x2160"}) {
    const std::wstring bmp = folder + L"\\capture-" + size + L".bmp";
    HANDLE in = ::CreateFileW(bmp.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
      std::fwprintf(stderr, L"no %ls: run the full benchmark first\n", bmp.c_str());
      return 1;
    }
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    DWORD read = 0;
    ::ReadFile(in, &file, sizeof file, &read, nullptr);
    ::ReadFile(in, &info, sizeof info, &read, nullptr);
    cDIBSection image;
    if (!image.Create(info.biWidth, info.biHeight)) return 1;
    ::ReadFile(in, image.DIBSectionBitsPtr(), static_cast<DWORD>(image.BytesPerScanLine() * image.Height()), &read,
               nullptr);
    ::CloseHandle(in);

    std::vector<double> jpeg, encode;
    size_t bytes = 0;
    for (int i = 0; i <= repetitions; ++i) {
      const JpegTimes times = TimeJpeg(image, folder + L"\\Screenshot" + std::to_wstring(i) + L".jpg");
      bytes = times.bytes;
      if (i == 0) continue;  // warming up
      jpeg.push_back(times.file);
      encode.push_back(times.encode);
    }
    std::fprintf(table, "%ls\t%.3f\t%.3f\t%zu\t%s\n", size, Median(jpeg), Median(encode), bytes,
                 rt::SimdLevelName(jpeg::EncodeLevel(rt::BestSimdLevel())));
  }
  std::fclose(table);
  return 0;
}

struct Figures {
  double capture = 0, convert = 0, jpeg = 0, encode = 0;
  size_t bytes = 0;
  size_t image_bytes = 0;  // of the converted picture
};

// What the first write to a page of fresh memory costs here, in microseconds: the conversion writes the
// whole picture into a DIB section made for it, so that cost is a floor under it, and one the machine
// sets, not the code (a virtual machine whose host backs memory on first touch makes it large). The
// median of a few 64 MB regions, each committed, touched once per page and given back.
double FreshPageMicroseconds() {
  constexpr size_t kBytes = size_t{64} << 20;
  std::vector<double> per_page;
  for (int round = 0; round < 5; ++round) {
    auto* memory = static_cast<volatile uint8_t*>(::VirtualAlloc(nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!memory) break;
    const auto t0 = Clock::now();
    for (size_t offset = 0; offset < kBytes; offset += 4096) memory[offset] = 1;
    const auto t1 = Clock::now();
    ::VirtualFree(const_cast<uint8_t*>(memory), 0, MEM_RELEASE);
    per_page.push_back(Ms(t0, t1) * 1000.0 / (kBytes / 4096));
  }
  return per_page.empty() ? 0.0 : Median(per_page);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"--window") return ShowWindowUntilClosed(_wtoi(argv[2]), _wtoi(argv[3]));
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: run_bench OUT_FOLDER [repetitions]\n");
    return 2;
  }
  if (std::wstring(argv[1]) == L"--jpeg" && argc > 2) {
    try {
      return MeasureJpeg(argv[2], argc > 3 ? std::max(1, _wtoi(argv[3])) : 15);
    } catch (const rt::Error& error) {
      std::fwprintf(stderr, L"error %ld: %ls\n", error.number(), error.description().c_str());
      return 1;
    }
  }
  const std::wstring folder = argv[1];
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : 15;
  win::ComApartment apartment;
  ::CreateDirectoryW(folder.c_str(), nullptr);

  struct Size {
    int width, height;
  };
  const Size sizes[] = {{1280, 720}, {1920, 1080}, {3840, 2160}};
  std::vector<Figures> figures;

  try {
    for (const Size& size : sizes) {
      ForeignWindow window(size.width, size.height);

      std::vector<double> capture, convert, jpeg, encode;
      Figures f;
      const std::wstring bmp = folder + L"\\capture-" + std::to_wstring(size.width) + L"x" +
                               std::to_wstring(size.height) + L".bmp";
      for (int i = 0; i <= repetitions; ++i) {  // the first round warms caches and is not counted
        const auto t0 = Clock::now();
        auto picture = modScreenCapture::GrabForegroundWindow();
        const auto t1 = Clock::now();
        cDIBSection image;
        image.CreateFromPicture(picture);
        const auto t2 = Clock::now();
        const JpegTimes times = TimeJpeg(image, folder + L"\\Screenshot" + std::to_wstring(i) + L".jpg");
        f.bytes = times.bytes;
        if (i == 0) {
          WriteBmp(image, bmp);
          continue;
        }
        capture.push_back(Ms(t0, t1));
        convert.push_back(Ms(t1, t2));
        jpeg.push_back(times.file);
        encode.push_back(times.encode);
      }
      f.image_bytes = static_cast<size_t>(size.height) * ((static_cast<size_t>(size.width) * 3 + 3) & ~size_t{3});
      f.capture = Median(capture);
      f.convert = Median(convert);
      f.jpeg = Median(jpeg);
      f.encode = Median(encode);
      figures.push_back(f);
    }

    // The mail steps. Cold: the mail program is not running yet. Then as a run usually finds it:
    // running, with its main window open; each round makes its application object anew, as a new
    // process would.
    testing_support::StandIn mail_program;
    std::optional<mail::Session> session(std::in_place);
    const std::wstring attachment = folder + L"\\capture-1280x720.bmp";
    const auto c0 = Clock::now();
    modMain::EnsureOutlookWindow(*session, outlook::olMinimized);
    const auto c1 = Clock::now();
    modMain::ComposeMailDraft(*session, attachment, L"Screen Capture: Quarterly report", L"arvel@example.com");
    const auto c2 = Clock::now();
    std::vector<double> ensure, compose;
    for (int i = 0; i < repetitions; ++i) {
      CloseWindows(L"OrvaneStandInMail");
      session.emplace();  // a new process's session: no application object yet
      const auto t0 = Clock::now();
      modMain::EnsureOutlookWindow(*session, outlook::olMinimized);
      const auto t1 = Clock::now();
      modMain::ComposeMailDraft(*session, attachment, L"Screen Capture: Quarterly report", L"arvel@example.com");
      const auto t2 = Clock::now();
      ensure.push_back(Ms(t0, t1));
      compose.push_back(Ms(t1, t2));
    }
    session.reset();
    const double ensure_ms = Median(ensure), compose_ms = Median(compose);
    const double fresh_page_us = FreshPageMicroseconds();
    auto fresh_floor = [&](const Figures& f) { return f.image_bytes / 4096.0 * fresh_page_us / 1000.0; };

    std::printf("Steps of a run, in process (median of %d, milliseconds; the encoder at %s)\n\n", repetitions,
                rt::SimdLevelName(jpeg::EncodeLevel(rt::BestSimdLevel())));
    std::printf("%-34s %10s %10s %10s\n", "step", "1280x720", "1920x1080", "3840x2160");
    auto row = [&](const char* name, const std::function<double(const Figures&)>& value) {
      std::printf("%-34s", name);
      for (const Figures& f : figures) std::printf(" %10.2f", value(f));
      std::printf("\n");
    };
    row("capture (GrabForegroundWindow)", [](const Figures& f) { return f.capture; });
    row("conversion (CreateFromPicture)", [](const Figures& f) { return f.convert; });
    row("JPEG file, q60 (WriteNewJpegFile)", [](const Figures& f) { return f.jpeg; });
    row("  of which the encoder alone", [](const Figures& f) { return f.encode; });
    row("mail: EnsureOutlookWindow", [&](const Figures&) { return ensure_ms; });
    row("mail: ComposeMailDraft", [&](const Figures&) { return compose_ms; });
    row("before the question (capture)", [](const Figures& f) { return f.capture; });
    row("after OK (conversion to mail)", [&](const Figures& f) { return f.convert + f.jpeg + ensure_ms + compose_ms; });
    // The conversion is one pass over memory; it should cost at most half of encoding the picture.
    constexpr double kConversionGoal = 0.5;
    std::printf("%-34s", "conversion / encoder alone");
    for (const Figures& f : figures) std::printf(" %10.2f", f.encode > 0 ? f.convert / f.encode : 0.0);
    std::printf("   (goal at most %.2f)\n", kConversionGoal);
    row("  first writes to its fresh pages", fresh_floor);
    std::printf("%-34s", "  the rest / encoder alone");
    for (const Figures& f : figures)
      std::printf(" %10.2f", f.encode > 0 ? std::max(0.0, f.convert - fresh_floor(f)) / f.encode : 0.0);
    std::printf("\n");
    std::printf("%-34s", "JPEG file size, bytes");
    for (const Figures& f : figures) std::printf(" %10zu", f.bytes);
    std::printf("\n\nMail program not yet running (first call, once): EnsureOutlookWindow %.1f ms, "
                "ComposeMailDraft %.1f ms\n",
                Ms(c0, c1), Ms(c1, c2));
    std::printf("The first write to a page of fresh memory costs %.2f us here: the conversion's floor is its\n"
                "picture's pages at that price (\"first writes to its fresh pages\"), which the machine sets.\n",
                fresh_page_us);
  } catch (const rt::Error& error) {
    std::fwprintf(stderr, L"error %ld: %ls\n", error.number(), error.description().c_str());
    return 1;
  }
  return 0;
}
