#pragma once
// The IUnknown part of a hand-written COM object: a reference count, deletion at zero, and the
// interfaces the class answers for.

#include <windows.h>
#include <unknwn.h>

namespace win {

template <typename Interface>
class ComObject : public Interface {
 public:
  virtual ~ComObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (::IsEqualIID(riid, IID_IUnknown) || Answers(riid)) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = --refs_;
    if (left == 0) LastReleased();
    return static_cast<ULONG>(left);
  }

 protected:
  // Whether the object answers for this interface (IUnknown always).
  virtual bool Answers(REFIID riid) const = 0;
  // What the last Release does: the object deletes itself, unless someone else owns its storage.
  virtual void LastReleased() { delete this; }
  LONG references() const { return refs_; }

 private:
  LONG refs_ = 1;
};

}  // namespace win
