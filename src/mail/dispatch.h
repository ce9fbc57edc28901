#pragma once
// Calling automation members by dispatch ID.

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string_view>

#include "platform/win/com.h"

namespace mail {

enum class Call : WORD {
  kMethod = DISPATCH_METHOD,
  kGet = DISPATCH_PROPERTYGET,
  // A method that returns an object, callable as either.
  kMethodOrGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET,
  kPut = DISPATCH_PROPERTYPUT,
};

// Calls member `id` with the arguments in their natural order; they go into DISPPARAMS last to
// first, and a put passes them as the named DISPID_PROPERTYPUT argument. Omitted trailing optional
// arguments are simply not passed. A failure raises an error: the server's own number and
// description when it reports an exception, the HRESULT and the system's text otherwise.
win::Variant Invoke(IDispatch* object, DISPID id, Call kind, std::initializer_list<const VARIANT*> args = {},
                    std::wstring_view member = {});

// The same, for calls whose result (if any) is of no use: it is released at once.
inline void Perform(IDispatch* object, DISPID id, Call kind, std::initializer_list<const VARIANT*> args = {},
                    std::wstring_view member = {}) {
  win::Variant ignored = Invoke(object, id, kind, args, member);
}

// The object a call returned, asked for the interface `iid`; raises E_NOINTERFACE when it is none.
win::ComPtr<IDispatch> QueryResult(const win::Variant& result, REFIID iid, std::wstring_view member = {});

// The object a call returned as IDispatch, or null when it returned none (VT_EMPTY or a null pointer).
win::ComPtr<IDispatch> ObjectOf(const win::Variant& result);

}  // namespace mail
