#include "support/shell_link.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win/com.h"

namespace testing_support {

Link ReadLink(const std::wstring& path) {
  win::ComApartment apartment;
  win::ComPtr<IShellLinkW> link;
  win::ComPtr<IPersistFile> file;
  Link result;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
    return result;
  }
  wchar_t text[MAX_PATH * 2] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  result.target = text;
  text[0] = 0;
  link->GetArguments(text, MAX_PATH * 2);
  result.arguments = text;
  link->GetHotkey(&result.hotkey);
  return result;
}

}  // namespace testing_support
