#pragma once
// The application object: where the running executable lives and what it is called.

#include <string>

namespace rt::App {

// Folder of the running executable, without a trailing separator (a drive root keeps its "\").
const std::wstring& Path();
// The product's title: caption of the program's message boxes.
const std::wstring& Title();
// The window class of the program's hidden owner form, in every copy of the program: the root owner
// of every question and message a run shows.
inline constexpr wchar_t kOwnerFormClass[] = L"OrvaneCaptureForm";
// File name of the running executable without folder and extension.
const std::wstring& EXEName();

}  // namespace rt::App
