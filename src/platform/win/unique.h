#pragma once
// Owners for Win32 handles: one move-only template, one line per kind of handle.

#include <windows.h>

#include <utility>

namespace win {

template <typename Traits>
class [[nodiscard]] Unique {
 public:
  using handle_type = typename Traits::handle_type;

  Unique() noexcept = default;
  explicit Unique(handle_type handle) noexcept : handle_(handle) {}
  Unique(Unique&& other) noexcept : handle_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  handle_type get() const noexcept { return handle_; }
  // Gives up ownership; call it only once the receiver has accepted the handle.
  [[nodiscard]] handle_type release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  void reset(handle_type handle = Traits::Invalid()) noexcept {
    handle_type old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // For out-parameters: frees what is held, then hands out the slot.
  handle_type* put() noexcept {
    reset();
    return &handle_;
  }
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

 private:
  handle_type handle_ = Traits::Invalid();
};

template <typename T>
struct GdiObjectTraits {
  using handle_type = T;
  static T Invalid() noexcept { return nullptr; }
  static void Close(T h) noexcept { ::DeleteObject(h); }
};

struct MemoryDcTraits {
  using handle_type = HDC;
  static HDC Invalid() noexcept { return nullptr; }
  static void Close(HDC h) noexcept { ::DeleteDC(h); }
};

// CreateFile and friends report failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  using handle_type = HANDLE;
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

// OpenProcess and most other kernel objects report failure as null.
struct KernelHandleTraits {
  using handle_type = HANDLE;
  static HANDLE Invalid() noexcept { return nullptr; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using handle_type = HANDLE;
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::FindClose(h); }
};

struct GlobalMemoryTraits {
  using handle_type = HGLOBAL;
  static HGLOBAL Invalid() noexcept { return nullptr; }
  static void Close(HGLOBAL h) noexcept { ::GlobalFree(h); }
};

// MapViewOfFile reports failure as null; UnmapViewOfFile gives the view back.
struct MappedViewTraits {
  using handle_type = void*;
  static void* Invalid() noexcept { return nullptr; }
  static void Close(void* view) noexcept { ::UnmapViewOfFile(view); }
};

struct WindowTraits {
  using handle_type = HWND;
  static HWND Invalid() noexcept { return nullptr; }
  static void Close(HWND h) noexcept { ::DestroyWindow(h); }
};

using GdiBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using GdiPalette = Unique<GdiObjectTraits<HPALETTE>>;
using GdiFont = Unique<GdiObjectTraits<HFONT>>;
using GdiBrush = Unique<GdiObjectTraits<HBRUSH>>;
using MemoryDC = Unique<MemoryDcTraits>;
using FileHandle = Unique<FileHandleTraits>;
using FindHandle = Unique<FindHandleTraits>;
using KernelHandle = Unique<KernelHandleTraits>;
using MappedView = Unique<MappedViewTraits>;
using Window = Unique<WindowTraits>;
using HGlobal = Unique<GlobalMemoryTraits>;

// A device context borrowed from a window: given back with ReleaseDC, never deleted.
// Made only by the factories below, named after the calls that lend the context.
class [[nodiscard]] WindowDC {
 public:
  WindowDC(WindowDC&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDC& operator=(WindowDC&&) = delete;
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() { reset(); }

  HDC get() const noexcept { return dc_; }
  HWND window() const noexcept { return window_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }
  // Gives the context back now rather than at the end of the scope.
  void reset() noexcept {
    if (dc_) ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
  }

  friend WindowDC GetDC(HWND window) noexcept;
  friend WindowDC GetWindowDC(HWND window) noexcept;

 private:
  WindowDC(HWND window, HDC dc) noexcept : window_(window), dc_(dc) {}
  HWND window_;
  HDC dc_;
};

// Client-area context (null window: the screen).
inline WindowDC GetDC(HWND window) noexcept { return WindowDC(window, ::GetDC(window)); }
// Whole-window context, frame and title bar included.
inline WindowDC GetWindowDC(HWND window) noexcept { return WindowDC(window, ::GetWindowDC(window)); }

// Selects an object into a context and selects the previous one back when it goes.
// Declare it after the owners of the DC and of the object, so that it dies first.
class [[nodiscard]] SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(dc ? ::SelectObject(dc, object) : nullptr) {}
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  ~SelectGuard() { restore(); }
  HGDIOBJ previous() const noexcept { return previous_; }
  // Selects the previous object back now; returns what was selected until then.
  HGDIOBJ restore() noexcept {
    HGDIOBJ current = nullptr;
    if (dc_ && previous_ && previous_ != HGDI_ERROR) current = ::SelectObject(dc_, previous_);
    dc_ = nullptr;
    return current;
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Palettes are selected with SelectPalette, not SelectObject.
class [[nodiscard]] PaletteGuard {
 public:
  PaletteGuard(HDC dc, HPALETTE palette, BOOL background = FALSE) noexcept
      : dc_(dc), background_(background), previous_(dc ? ::SelectPalette(dc, palette, background) : nullptr) {}
  PaletteGuard(const PaletteGuard&) = delete;
  PaletteGuard& operator=(const PaletteGuard&) = delete;
  ~PaletteGuard() { restore(); }
  HPALETTE restore() noexcept {
    HPALETTE current = nullptr;
    if (dc_ && previous_) current = ::SelectPalette(dc_, previous_, background_);
    dc_ = nullptr;
    return current;
  }

 private:
  HDC dc_;
  BOOL background_;
  HPALETTE previous_;
};

}  // namespace win
