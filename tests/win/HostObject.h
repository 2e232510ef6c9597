#pragma once

// A small automation server for the tests: an IDispatch whose members are named functions, with
// counters of what was asked of it, its reference count and faults to inject. The test host's
// application, web and command bars are built from it.

#include "host/automation/Com.h"

#include <functional>
#include <map>
#include <oaidl.h>
#include <string>
#include <string_view>
#include <vector>
#include <wrl/client.h>

namespace testhost {

using host::automation::Variant;
using Microsoft::WRL::ComPtr;
using Args = std::vector<Variant>; // in declaration order

class HostObject : public IDispatch {
  public:
    explicit HostObject(std::wstring kind) : kind_(std::move(kind)) {}
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;

    // A property read or method; what it returns is the member's result.
    void method(const std::wstring& name, std::function<Variant(const Args&)> fn);
    // A read-only property without arguments.
    void getter(const std::wstring& name, std::function<Variant()> fn);
    // A property that can be written (DISPATCH_PROPERTYPUT) too.
    void property(const std::wstring& name, std::function<Variant()> get,
                  std::function<void(const Variant&)> put);

    // The next call of the member fails with `status` raised as an automation error.
    void failNext(const std::wstring& name, HRESULT status) { faults_[lower(name)] = status; }

    int calls(std::wstring_view name) const;
    int lookups(std::wstring_view name) const;
    ULONG refs() const { return static_cast<ULONG>(refs_); }
    const std::wstring& kind() const { return kind_; }

    // Another interface answered with this object's IDispatch (the editor's _Application).
    void alsoAnswers(const IID& iid) { extraIids_.push_back(iid); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;

  protected:
    virtual ~HostObject() = default;
    // Interfaces beyond IDispatch; null when not offered.
    virtual void* otherInterface(REFIID) { return nullptr; }

  private:
    struct Member {
        std::wstring name;
        std::function<Variant(const Args&)> get;
        std::function<void(const Variant&)> put;
        int calls = 0;
        int lookups = 0;
    };
    static std::wstring lower(std::wstring_view s);
    Member* find(std::wstring_view name);
    const Member* find(std::wstring_view name) const;

    LONG refs_ = 1;
    std::wstring kind_;
    std::vector<Member> members_; // DISPID = index + 1
    std::map<std::wstring, HRESULT> faults_;
    std::vector<IID> extraIids_;
};

// Makes a host object owned by a ComPtr (its one reference).
template <class T, class... A> ComPtr<T> make(A&&... args) {
    return host::automation::adopt(new T(std::forward<A>(args)...));
}

Variant text(std::wstring_view s);
Variant object(IDispatch* p); // VT_DISPATCH, null allowed
std::wstring textOf(const Variant& v);

} // namespace testhost
