#pragma once

// A small automation server for the tests: an IDispatch whose members are named functions, with
// counters of what was asked of it, its reference count and faults to inject. The test host's
// application, web and command bars are built from it.

#include "host/automation/Com.h"
#include "host/automation/ComObject.h"

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

// What every host object does, whatever interfaces it answers: members by name, with counts of what was
// asked and faults to inject.
class Members {
  public:
    explicit Members(std::wstring kind) : kind_(std::move(kind)) {}
    Members(const Members&) = delete;
    Members& operator=(const Members&) = delete;

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
    const std::wstring& kind() const { return kind_; }

  protected:
    ~Members() = default;
    HRESULT idsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
    // `self` is held for the call: a member may release the object while it runs.
    HRESULT invoke(IDispatch* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception);

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

    std::wstring kind_;
    std::vector<Member> members_; // DISPID = index + 1
    std::map<std::wstring, HRESULT> faults_;
};

// A host object that answers IDispatch and the interfaces `More`.
template <class... More>
class HostObjectWith : public host::automation::Implements<HostObjectWith<More...>, IDispatch, More...>,
                       public Members {
  public:
    explicit HostObjectWith(std::wstring kind) : Members(std::move(kind)) {}

    ULONG refs() {
        this->AddRef();
        return this->Release();
    }
    // Another interface answered with this object's IDispatch (the editor's _Application).
    void alsoAnswers(const IID& iid) { extraIids_.push_back(iid); }
    void* otherInterface(REFIID iid) {
        for (const IID& extra : extraIids_) {
            if (IsEqualIID(extra, iid))
                return static_cast<IDispatch*>(this);
        }
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return idsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        return invoke(this, id, flags, params, result, exception);
    }

  private:
    std::vector<IID> extraIids_;
};

using HostObject = HostObjectWith<>;

// Makes a host object owned by a ComPtr (its one reference).
template <class T, class... A> ComPtr<T> make(A&&... args) {
    return host::automation::adopt(new T(std::forward<A>(args)...));
}

Variant text(std::wstring_view s);
Variant object(IDispatch* p); // VT_DISPATCH, null allowed
std::wstring textOf(const Variant& v);

} // namespace testhost
