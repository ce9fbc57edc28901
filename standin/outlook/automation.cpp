// The automation objects: application, namespace, folder, explorer, mail item and attachments.

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win/com_object.h"
#include "standin/outlook/standin.h"

namespace standin {
namespace {

using win::ComObject;

// The positional arguments of a call in their natural order; omitted ones (left out or passed as
// DISP_E_PARAMNOTFOUND) are null.
std::vector<const VARIANT*> Arguments(const DISPPARAMS* params) {
  std::vector<const VARIANT*> args;
  if (!params) return args;
  UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT i = 0; i < positional; ++i) {
    const VARIANT* v = &params->rgvarg[params->cArgs - 1 - i];
    if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) v = nullptr;
    args.push_back(v);
  }
  return args;
}

const VARIANT* PutValue(const DISPPARAMS* params) {
  if (!params || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs < 1)
    return nullptr;
  return &params->rgvarg[0];
}

const VARIANT* Deref(const VARIANT* v) {
  return v && (v->vt & VT_BYREF) && v->vt == (VT_VARIANT | VT_BYREF) ? v->pvarVal : v;
}

std::wstring Describe(const VARIANT* v) {
  v = Deref(v);
  if (!v) return L"<missing>";
  VARIANT text;
  ::VariantInit(&text);
  if (v->vt == VT_BSTR) return L"\"" + std::wstring(v->bstrVal ? v->bstrVal : L"", v->bstrVal ? ::SysStringLen(v->bstrVal) : 0) + L"\"";
  if (v->vt == VT_EMPTY) return L"<empty>";
  if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR))) {
    std::wstring out = text.bstrVal ? text.bstrVal : L"";
    ::VariantClear(&text);
    return out;
  }
  return L"<vt " + std::to_wstring(v->vt) + L">";
}

std::wstring KindOf(WORD flags) {
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return L"put";
  if ((flags & DISPATCH_METHOD) && (flags & DISPATCH_PROPERTYGET)) return L"method|get";
  if (flags & DISPATCH_METHOD) return L"method";
  return L"get";
}

bool TextOf(const VARIANT* v, std::wstring& out) {
  v = Deref(v);
  if (!v) return false;
  VARIANT text;
  ::VariantInit(&text);
  if (FAILED(::VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR))) return false;
  out.assign(text.bstrVal ? text.bstrVal : L"", text.bstrVal ? ::SysStringLen(text.bstrVal) : 0);
  ::VariantClear(&text);
  return true;
}

bool LongOf(const VARIANT* v, LONG& out) {
  v = Deref(v);
  if (!v) return false;
  VARIANT number;
  ::VariantInit(&number);
  if (FAILED(::VariantChangeType(&number, const_cast<VARIANT*>(v), 0, VT_I4))) return false;
  out = number.lVal;
  return true;
}

HRESULT Exception(EXCEPINFO* info, const std::wstring& description, HRESULT code = E_FAIL) {
  if (info) {
    *info = EXCEPINFO{};
    info->bstrSource = ::SysAllocString(L"Outlook stand-in");
    info->bstrDescription = ::SysAllocString(description.c_str());
    info->scode = code;
  }
  return DISP_E_EXCEPTION;
}

void ReturnObject(VARIANT* result, IDispatch* object) {
  if (result) {
    ::VariantInit(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = object;  // the caller takes the reference
  } else if (object) {
    object->Release();
  }
}

class Object : public ComObject<IDispatch> {
 public:
  Object(const IID& iid, const wchar_t* name) : iid_(iid), name_(name) { ObjectCreated(); }
  ~Object() override {
    Journal(std::wstring(L"release ") + name_);
    ObjectDestroyed();
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;  // callers go by dispatch ID
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    try {
      return Call(id, flags, params, result, exception);
    } catch (...) {
      return Exception(exception, L"The stand-in failed inside a call.");
    }
  }

 protected:
  // Journals the call, and answers with the failure asked for in the settings.
  bool Enter(const wchar_t* member, WORD flags, const DISPPARAMS* params, const std::wstring& step, HRESULT& failure,
             EXCEPINFO* exception) {
    // "Interface.Member kind (arguments) args=N": N counts what was passed, omitted markers included.
    std::wstring line = std::wstring(name_) + L"." + member + L" " + KindOf(flags) + L" (";
    if (const VARIANT* put = PutValue(params)) {
      line += Describe(put) + L")";
    } else {
      auto args = Arguments(params);
      for (size_t i = 0; i < args.size(); ++i) line += (i ? L", " : L"") + Describe(args[i]);
      line += L")";
    }
    line += L" args=" + std::to_wstring(params ? params->cArgs : 0);
    Journal(line);
    HangIfAt(step);
    if (FailsAt(step)) {
      const HRESULT code = FailureCode();
      failure =
          FAILED(code) ? code : Exception(exception, L"The stand-in was told to fail at " + step + L".");
      return false;
    }
    return true;
  }
  virtual HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) = 0;
  bool Answers(REFIID riid) const override { return ::IsEqualIID(riid, IID_IDispatch) || ::IsEqualIID(riid, iid_); }

 private:
  IID iid_;
  const wchar_t* name_;
};

class Attachment : public Object {
 public:
  explicit Attachment(std::wstring path) : Object(outlook::kIidAttachment, L"Attachment"), path_(std::move(path)) {}
  HRESULT Call(DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*) override { return DISP_E_MEMBERNOTFOUND; }

 private:
  std::wstring path_;
};

struct MailState {
  MailContents contents;
};

class AttachmentsCollection : public Object {
 public:
  explicit AttachmentsCollection(std::shared_ptr<MailState> mail) : Object(outlook::kIidAttachments, L"Attachments"), mail_(std::move(mail)) {}
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) override {
    HRESULT failure = S_OK;
    if (id != outlook::dispid::kAdd) return DISP_E_MEMBERNOTFOUND;
    if (!Enter(L"Add", flags, params, L"Attachments.Add", failure, exception)) return failure;
    auto args = Arguments(params);
    std::wstring path;
    if (args.empty() || !TextOf(args[0], path)) return DISP_E_PARAMNOTFOUND;
    if (args.size() > 4) return DISP_E_BADPARAMCOUNT;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
      return Exception(exception, L"Cannot add the attachment; no file was found at that location.");
    mail_->contents.attachments.push_back(path);
    ReturnObject(result, new Attachment(path));
    return S_OK;
  }

 private:
  std::shared_ptr<MailState> mail_;
};

class MailItem : public Object {
 public:
  MailItem() : Object(outlook::kIidMailItem, L"_MailItem"), mail_(std::make_shared<MailState>()) {}
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) override {
    HRESULT failure = S_OK;
    switch (id) {
      case outlook::dispid::kAttachments:
        if (!Enter(L"Attachments", flags, params, L"Attachments", failure, exception)) return failure;
        ReturnObject(result, new AttachmentsCollection(mail_));
        return S_OK;
      case outlook::dispid::kTo:
        return Text(L"To", flags, params, result, exception, mail_->contents.to);
      case outlook::dispid::kSubject:
        return Text(L"Subject", flags, params, result, exception, mail_->contents.subject);
      case outlook::dispid::kDisplay: {
        if (!Enter(L"Display", flags, params, L"Display", failure, exception)) return failure;
        auto args = Arguments(params);
        if (args.size() > 1) return DISP_E_BADPARAMCOUNT;
        ShowMailWindow(mail_->contents);
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT Text(const wchar_t* member, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
               std::wstring& field) {
    HRESULT failure = S_OK;
    if (!Enter(member, flags, params, member, failure, exception)) return failure;
    if (flags & DISPATCH_PROPERTYPUT) {
      const VARIANT* value = PutValue(params);
      if (!value) return DISP_E_PARAMNOTFOUND;  // a put without DISPID_PROPERTYPUT
      if (!TextOf(value, field)) return DISP_E_TYPEMISMATCH;
      return S_OK;
    }
    if (result) {
      ::VariantInit(result);
      result->vt = VT_BSTR;
      result->bstrVal = ::SysAllocStringLen(field.data(), static_cast<UINT>(field.size()));
    }
    return S_OK;
  }

  std::shared_ptr<MailState> mail_;
};

class Explorer : public Object {
 public:
  explicit Explorer(HWND window) : Object(outlook::kIidExplorer, L"_Explorer"), window_(window) {}
  // An explorer that was never shown goes with its last reference; a shown one stays on screen.
  ~Explorer() override {
    if (::IsWindow(window_) && !::IsWindowVisible(window_)) ::DestroyWindow(window_);
  }
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) override {
    HRESULT failure = S_OK;
    if (id == outlook::dispid::kActivate) {
      if (!Enter(L"Activate", flags, params, L"Activate", failure, exception)) return failure;
      if (!::IsWindow(window_)) return Exception(exception, L"The explorer was closed.");
      ActivateExplorer(window_);
      return S_OK;
    }
    if (id == outlook::dispid::kWindowState) {
      if (!Enter(L"WindowState", flags, params, L"WindowState", failure, exception)) return failure;
      if (!::IsWindow(window_)) return Exception(exception, L"The explorer was closed.");
      if (flags & DISPATCH_PROPERTYPUT) {
        LONG state = 0;
        const VARIANT* value = PutValue(params);
        if (!value) return DISP_E_PARAMNOTFOUND;
        if (!LongOf(value, state) || state < 0 || state > 2) return DISP_E_TYPEMISMATCH;
        SetExplorerState(window_, state);
        return S_OK;
      }
      if (result) {
        ::VariantInit(result);
        result->vt = VT_I4;
        result->lVal = ExplorerState(window_);
      }
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  HWND window_;
};

class Folder : public Object {
 public:
  Folder() : Object(outlook::kIidMAPIFolder, L"MAPIFolder") {}
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) override {
    HRESULT failure = S_OK;
    if (id != outlook::dispid::kGetExplorer) return DISP_E_MEMBERNOTFOUND;
    if (!Enter(L"GetExplorer", flags, params, L"GetExplorer", failure, exception)) return failure;
    if (Arguments(params).size() > 2) return DISP_E_BADPARAMCOUNT;
    ReturnObject(result, new Explorer(CreateExplorerWindow(L"Inbox")));
    return S_OK;
  }
};

class NameSpace : public Object {
 public:
  NameSpace() : Object(outlook::kIidNameSpace, L"_NameSpace") {}
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) override {
    HRESULT failure = S_OK;
    if (id != outlook::dispid::kGetDefaultFolder) return DISP_E_MEMBERNOTFOUND;
    if (!Enter(L"GetDefaultFolder", flags, params, L"GetDefaultFolder", failure, exception)) return failure;
    auto args = Arguments(params);
    LONG folder = 0;
    if (args.size() != 1 || !LongOf(args[0], folder)) return DISP_E_PARAMNOTFOUND;
    if (folder != 6) return Exception(exception, L"The stand-in has an Inbox only.");
    ReturnObject(result, new Folder());
    return S_OK;
  }
};

class Application : public Object {
 public:
  Application() : Object(outlook::kIidApplication, L"_Application") {}
  HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) override {
    HRESULT failure = S_OK;
    switch (id) {
      case outlook::dispid::kActiveExplorer: {
        if (!Enter(L"ActiveExplorer", flags, params, L"ActiveExplorer", failure, exception)) return failure;
        HWND window = ActiveExplorerWindow();
        ReturnObject(result, window ? new Explorer(window) : nullptr);
        return S_OK;
      }
      case outlook::dispid::kGetNamespace: {
        if (!Enter(L"GetNamespace", flags, params, L"GetNamespace", failure, exception)) return failure;
        auto args = Arguments(params);
        std::wstring type;
        if (args.size() != 1 || !TextOf(args[0], type)) return DISP_E_PARAMNOTFOUND;
        if (::lstrcmpiW(type.c_str(), L"MAPI") != 0) return Exception(exception, L"Only the MAPI namespace exists.");
        ReturnObject(result, new NameSpace());
        return S_OK;
      }
      case outlook::dispid::kCreateItem: {
        if (!Enter(L"CreateItem", flags, params, L"CreateItem", failure, exception)) return failure;
        auto args = Arguments(params);
        LONG type = -1;
        if (args.size() != 1 || !LongOf(args[0], type)) return DISP_E_PARAMNOTFOUND;
        if (type != 0) return Exception(exception, L"The stand-in makes mail items only.");
        if (FailsAt(L"CreateItem:NotMail")) {
          ReturnObject(result, new Attachment(L""));  // an item that is not a mail
          return S_OK;
        }
        ReturnObject(result, new MailItem());
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
};

class ApplicationFactory final : public ComObject<IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Journal(L"Application.Create");
    HangIfAt(L"CreateObject");
    if (FailsAt(L"CreateObject")) return CO_E_SERVER_EXEC_FAILURE;
    auto* application = new Application();
    HRESULT hr = application->QueryInterface(riid, out);
    application->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    standin::LockServer(lock != FALSE);
    return S_OK;
  }

 protected:
  bool Answers(REFIID riid) const override { return ::IsEqualIID(riid, IID_IClassFactory); }
};

}  // namespace

IClassFactory* NewApplicationFactory() { return new ApplicationFactory(); }

}  // namespace standin
