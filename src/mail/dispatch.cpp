#include "mail/dispatch.h"

#include <vector>

#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/win_error.h"

namespace mail {
namespace {

std::wstring Source(std::wstring_view member) {
  return member.empty() ? rt::App::EXEName() : rt::App::EXEName() + L"." + std::wstring(member);
}

// The one place a member is invoked; args in their natural order.
win::Variant InvokeWith(Session& session, IDispatch* object, DISPID id, Call kind,
                        const std::vector<const VARIANT*>& args, std::wstring_view member) {
  if (!object) rt::Raise(rt::kErrObjectNotSet, Source(member), L"Object variable or With block variable not set");
  // Copies, so the caller's VARIANTs stay untouched whatever the server does with its arguments.
  std::vector<win::Variant> reversed(args.size());
  size_t slot = args.size();
  for (const VARIANT* arg : args) {
    --slot;
    HRESULT hr = ::VariantCopy(reversed[slot].put(), const_cast<VARIANT*>(arg));
    if (FAILED(hr)) rt::RaiseHresult(hr, Source(member));
  }
  std::vector<VARIANT> raw;
  raw.reserve(reversed.size());
  for (auto& v : reversed) raw.push_back(*v.get());

  DISPID named_put = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(raw.size());
  params.rgvarg = raw.empty() ? nullptr : raw.data();
  if (kind == Call::kPut) {
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &named_put;
  }
  win::Variant result;
  EXCEPINFO exception{};
  UINT bad_argument = 0;
  const HRESULT hr = session.Within(Deadline::kCall, [&] {
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, static_cast<WORD>(kind), &params,
                          kind == Call::kPut ? nullptr : result.put(), &exception, &bad_argument);
  });
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    win::Bstr source, description, help;
    *source.put() = exception.bstrSource;
    *description.put() = exception.bstrDescription;
    *help.put() = exception.bstrHelpFile;
    HRESULT code = exception.scode ? exception.scode : (exception.wCode ? 1000 + exception.wCode : E_FAIL);
    std::wstring text(description.view());
    if (text.empty()) text = rt::SystemMessage(static_cast<DWORD>(code));
    if (text.empty()) text = L"Automation error";
    rt::Raise(static_cast<long>(code), source.view().empty() ? Source(member) : std::wstring(source.view()), text);
  }
  if (FAILED(hr)) rt::RaiseHresult(hr, Source(member));
  return result;
}

}  // namespace

win::Variant Invoke(Session& session, IDispatch* object, DISPID id, Call kind,
                    std::initializer_list<const VARIANT*> args, std::wstring_view member) {
  return InvokeWith(session, object, id, kind, std::vector<const VARIANT*>(args), member);
}

win::Variant Invoke(Session& session, IDispatch* object, const Member& member, std::initializer_list<Arg> args) {
  std::vector<const VARIANT*> raw;
  raw.reserve(args.size());
  for (const Arg& arg : args) raw.push_back(arg.get());
  return InvokeWith(session, object, member.id, member.kind, raw, member.name);
}

win::ComPtr<IDispatch> InvokeFor(Session& session, IDispatch* object, const Member& member, REFIID iid,
                                 std::initializer_list<Arg> args) {
  return QueryResult(session, Invoke(session, object, member, args), iid, member.name);
}

win::ComPtr<IDispatch> ObjectOf(Session& session, const win::Variant& result) {
  const VARIANT* v = result.get();
  win::ComPtr<IDispatch> object;
  if (v->vt == VT_DISPATCH && v->pdispVal) {
    object = v->pdispVal;
  } else if (v->vt == VT_UNKNOWN && v->punkVal) {
    session.Within(Deadline::kCall, [&] { return v->punkVal->QueryInterface(IID_PPV_ARGS(&object)); });
  }
  return object;
}

win::ComPtr<IDispatch> QueryResult(Session& session, const win::Variant& result, REFIID iid,
                                   std::wstring_view member) {
  win::ComPtr<IDispatch> object = ObjectOf(session, result);
  if (!object) rt::RaiseHresult(E_NOINTERFACE, Source(member));
  win::ComPtr<IDispatch> typed;
  const HRESULT hr = session.Within(Deadline::kCall, [&] {
    return object->QueryInterface(iid, reinterpret_cast<void**>(typed.GetAddressOf()));
  });
  if (FAILED(hr) || !typed) rt::RaiseHresult(FAILED(hr) ? hr : E_NOINTERFACE, Source(member));
  return typed;
}

}  // namespace mail
