#pragma once
// frmCapture: the hidden form that owns the confirmation question and holds the captured picture.
// It is loaded but never shown.

#include <windows.h>
#include <ole2.h>

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

  // The loaded form, loading it (and running Form_Load) on first use.
  static frmCapture& Load();
  // The loaded form, or null.
  static frmCapture* Loaded();
  // Destroys the form and releases the picture it holds; harmless when not loaded.
  static void Unload();

  HWND hWnd() const { return window_.get(); }
  // Position and size of the form in twips.
  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }

  PictureBox picScreenshot;
  Label lblStatus;

 private:
  frmCapture();
  void Form_Load();

  win::Window window_;
  win::GdiFont status_font_;
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};
