// /RegServer and /UnregServer: the class registration and the type library that lets the
// interfaces' calls cross processes.

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "standin/outlook/standin.h"

namespace standin {
namespace {

using Microsoft::WRL::ComPtr;

constexpr GUID kLibId = {0x6c1d2a51, 0x3f0e, 0x4b7a, {0x9d, 0x41, 0x5e, 0x2b, 0x7c, 0x10, 0x6a, 0x93}};
constexpr GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr wchar_t kMarker[] = L"OrvaneStandIn";

struct Interface {
  const wchar_t* name;
  IID iid;
};
constexpr Interface kInterfaces[] = {
    {L"_Application", outlook::kIidApplication},
    {L"_NameSpace", outlook::kIidNameSpace},
    {L"_Explorer", outlook::kIidExplorer},
    {L"MAPIFolder", outlook::kIidMAPIFolder},
    {L"Attachment", outlook::kIidAttachment},
    {L"_MailItem", outlook::kIidMailItem},
    {L"Attachments", outlook::kIidAttachments},
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64];
  ::StringFromGUID2(guid, text, 64);
  return text;
}

std::wstring ExePath() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return std::wstring(path, length);
}

std::wstring TypeLibPath() {
  std::wstring exe = ExePath();
  return exe.substr(0, exe.find_last_of(L'.')) + L".tlb";
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(kClsidApplication); }

bool ReadText(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring& value) {
  wchar_t buffer[4096] = {};
  DWORD size = sizeof buffer;
  if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return false;
  value = buffer;
  return true;
}

bool WriteText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG result = ::RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

// Whether a server that is not this stand-in is registered for the mail program's class.
bool SomeoneElseRegistered(std::wstring& who) {
  std::wstring marker;
  bool ours = ReadText(HKEY_CLASSES_ROOT, ClassKey(), kMarker, marker);
  if (ReadText(HKEY_CLASSES_ROOT, ClassKey() + L"\\LocalServer32", nullptr, who) && !ours) return true;
  std::wstring clsid;
  if (ReadText(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid) &&
      ::lstrcmpiW(clsid.c_str(), GuidText(kClsidApplication).c_str()) != 0) {
    who = std::wstring(kProgId) + L" -> " + clsid;
    return true;
  }
  return false;
}

HRESULT BuildTypeLibrary(const std::wstring& path) {
  ComPtr<ICreateTypeLib2> library;
  HRESULT hr = ::CreateTypeLib2(SYS_WIN64, path.c_str(), &library);
  if (FAILED(hr)) return hr;
  library->SetGuid(kLibId);
  library->SetName(const_cast<LPOLESTR>(L"OrvaneMailStandIn"));
  library->SetVersion(1, 0);
  library->SetLcid(0);
  ComPtr<ITypeLib> stdole;
  if (FAILED(hr = ::LoadRegTypeLib(kStdOle, 2, 0, 0, &stdole))) return hr;
  ComPtr<ITypeInfo> dispatch;
  if (FAILED(hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch))) return hr;
  for (const Interface& item : kInterfaces) {
    ComPtr<ICreateTypeInfo> info;
    if (FAILED(hr = library->CreateTypeInfo(const_cast<LPOLESTR>(item.name), TKIND_DISPATCH, &info))) return hr;
    info->SetGuid(item.iid);
    info->SetTypeFlags(TYPEFLAG_FDISPATCHABLE);
    HREFTYPE base = 0;
    if (FAILED(hr = info->AddRefTypeInfo(dispatch.Get(), &base))) return hr;
    if (FAILED(hr = info->AddImplType(0, base))) return hr;
    if (FAILED(hr = info->LayOut())) return hr;
  }
  return library->SaveAllChanges();
}

}  // namespace

int RegisterServer() {
  std::wstring who;
  if (SomeoneElseRegistered(who)) {
    std::fwprintf(stderr, L"Another server is registered for %ls (%ls): the stand-in will not replace it.\n", kProgId,
                  who.c_str());
    return 3;
  }
  const std::wstring exe = ExePath();
  bool ok = WriteText(ClassKey(), nullptr, L"Mail program stand-in (Orvane tests and demo)") &&
            WriteText(ClassKey(), kMarker, L"1") &&
            WriteText(ClassKey() + L"\\LocalServer32", nullptr, L"\"" + exe + L"\"") &&
            WriteText(ClassKey() + L"\\ProgID", nullptr, kProgId) &&
            WriteText(kProgId, nullptr, L"Mail program stand-in") &&
            WriteText(std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(kClsidApplication));
  if (!ok) {
    std::fwprintf(stderr, L"Cannot write the class registration.\n");
    return 1;
  }
  const std::wstring library_path = TypeLibPath();
  HRESULT hr = BuildTypeLibrary(library_path);
  ComPtr<ITypeLib> library;
  if (SUCCEEDED(hr)) hr = ::LoadTypeLibEx(library_path.c_str(), REGKIND_REGISTER, &library);
  if (FAILED(hr)) {
    std::fwprintf(stderr, L"Cannot build or register the type library (0x%08lx).\n", static_cast<unsigned long>(hr));
    UnregisterServer();
    return 1;
  }
  return 0;
}

int UnregisterServer() {
  std::wstring marker;
  if (!ReadText(HKEY_CLASSES_ROOT, ClassKey(), kMarker, marker)) return 0;  // not ours: leave it be
  ::UnRegisterTypeLib(kLibId, 1, 0, 0, SYS_WIN64);
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey().c_str());
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  // The type library file stays: registrations in other Wine prefixes point at the same file beside
  // the executable, and /RegServer writes it anew anyway.
  return 0;
}

}  // namespace standin
