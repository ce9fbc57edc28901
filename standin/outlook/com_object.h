#pragma once
// The IUnknown part of the stand-in's COM objects: a reference count, deletion at zero, and the
// interfaces a class answers for.

#include <windows.h>
#include <unknwn.h>

namespace standin {

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
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  // Whether the object answers for this interface (IUnknown always).
  virtual bool Answers(REFIID riid) const = 0;

 private:
  LONG refs_ = 1;
};

}  // namespace standin
