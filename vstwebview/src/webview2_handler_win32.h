#pragma once
// A WebView2 completion or event handler whose Invoke runs a C++ callable. The runtime keeps
// the handler for as long as it likes, so everything the callable reaches must either be owned
// by it or be guarded (the browser's liveness token).
#include <atomic>
#include <functional>
#include <new>
#include <utility>

#include "WebView2.h"
#include "vstwebview/com_ref.h"

namespace vstwebview {

template <class Interface, class... Args>
class CallbackHandler final : public Interface {
 public:
  using Body = std::function<HRESULT(Args...)>;

  static ComRef<Interface> Make(Body body) {
    return ComRef<Interface>::Adopt(new CallbackHandler(std::move(body)));
  }

  HRESULT STDMETHODCALLTYPE Invoke(Args... args) override {
    // Never let an exception cross into the runtime.
    try {
      return body_(args...);
    } catch (...) {
      return E_FAIL;
    }
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    // The handler is only ever called on the thread that created the browser, and it holds
    // nothing tied to an apartment, so it may say that it is agile.
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IAgileObject)
#if defined(_MSC_VER)
        || IsEqualIID(iid, __uuidof(Interface))
#endif
    ) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return ++count_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

 private:
  explicit CallbackHandler(Body body) : body_(std::move(body)) {}

  std::atomic<ULONG> count_{1};
  Body body_;
};

}  // namespace vstwebview
