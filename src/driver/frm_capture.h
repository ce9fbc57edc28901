#pragma once
// frmCapture: the hidden form that owns the confirmation question and holds the captured picture.
// It is loaded but never shown.

#include <windows.h>
#include <ole2.h>

#include "platform/runtime/app.h"
#include "platform/win/com.h"
#include "platform/win/unique.h"

class frmCapture {
 public:
  struct PictureBox {
    HWND hWnd = nullptr;
    win::ComPtr<IDispatch> Picture;  // owns the captured bitmap and palette
  };
  struct Label {
    HWND hWnd = nullptr;
  };

  // The window class of the form, in every copy of the program: the root owner of its messages.
  static constexpr const wchar_t* kClassName = rt::App::kOwnerFormClass;

  // The loaded form, loading it (and running Form_Load) on first use.
  static frmCapture& Load();
  // Destroys the form and releases the picture it holds; harmless when not loaded.
  static void Unload();

  ~frmCapture();
  frmCapture(const frmCapture&) = delete;
  frmCapture& operator=(const frmCapture&) = delete;

  HWND hWnd() const { return window_.get(); }

  PictureBox picScreenshot;
  Label lblStatus;

 private:
  frmCapture();
  void Form_Load();

  // The label's font outlives the windows: destroyed in reverse, the windows go first.
  win::GdiFont status_font_;
  win::Window window_;
  // Position and size of the form, in twips.
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};
