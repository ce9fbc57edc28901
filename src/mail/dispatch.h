#pragma once
// Calling automation members by dispatch ID, each call under the session's deadline.

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "mail/session.h"
#include "platform/win/com.h"

namespace mail {

enum class Call : WORD {
  kMethod = DISPATCH_METHOD,
  kGet = DISPATCH_PROPERTYGET,
  // A method that returns an object, callable as either.
  kMethodOrGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET,
  kPut = DISPATCH_PROPERTYPUT,
};

// A member of a published interface as its type library lists it: dispatch ID, how it is called, and
// its name (for the source of an error).
struct Member {
  DISPID id;
  Call kind;
  std::wstring_view name;
};

// An argument of a call, made from a plain value: a 32-bit number or a text.
class Arg {
 public:
  Arg(LONG value) : variant_(win::Variant::Long(value)) {}  // NOLINT: converts by design
  Arg(std::wstring_view text) : variant_(win::Variant::String(text)) {}  // NOLINT
  Arg(const std::wstring& text) : Arg(std::wstring_view(text)) {}  // NOLINT
  Arg(const wchar_t* text) : Arg(std::wstring_view(text)) {}  // NOLINT
  const VARIANT* get() const { return variant_.get(); }

 private:
  win::Variant variant_;
};

// Calls member `id` with the arguments in their natural order; they go into DISPPARAMS last to
// first, and a put passes them as the named DISPID_PROPERTYPUT argument. Omitted trailing optional
// arguments are simply not passed. A failure raises an error: the server's own number and
// description when it reports an exception, the HRESULT and the system's text otherwise.
win::Variant Invoke(Session& session, IDispatch* object, DISPID id, Call kind,
                    std::initializer_list<const VARIANT*> args = {}, std::wstring_view member = {});

// The same, for calls whose result (if any) is of no use: it is released at once.
inline void Perform(Session& session, IDispatch* object, DISPID id, Call kind,
                    std::initializer_list<const VARIANT*> args = {}, std::wstring_view member = {}) {
  win::Variant ignored = Invoke(session, object, id, kind, args, member);
}

// Calls a member with plain values, as Invoke above does.
win::Variant Invoke(Session& session, IDispatch* object, const Member& member, std::initializer_list<Arg> args = {});
inline void Perform(Session& session, IDispatch* object, const Member& member, std::initializer_list<Arg> args = {}) {
  win::Variant ignored = Invoke(session, object, member, args);
}
// The object a member returns, asked for the interface `iid`.
win::ComPtr<IDispatch> InvokeFor(Session& session, IDispatch* object, const Member& member, REFIID iid,
                                 std::initializer_list<Arg> args = {});

// The object a call returned, asked for the interface `iid`; raises E_NOINTERFACE when it is none.
win::ComPtr<IDispatch> QueryResult(Session& session, const win::Variant& result, REFIID iid,
                                   std::wstring_view member = {});

// The object a call returned as IDispatch, or null when it returned none (VT_EMPTY or a null pointer).
win::ComPtr<IDispatch> ObjectOf(Session& session, const win::Variant& result);

}  // namespace mail
