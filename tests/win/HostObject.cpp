#include "HostObject.h"

#include <algorithm>
#include <cwctype>

namespace testhost {

std::wstring Members::lower(std::wstring_view s) {
    std::wstring out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); });
    return out;
}

Members::Member* Members::find(std::wstring_view name) {
    const std::wstring wanted = lower(name);
    for (auto& m : members_) {
        if (lower(m.name) == wanted)
            return &m;
    }
    return nullptr;
}

const Members::Member* Members::find(std::wstring_view name) const {
    return const_cast<Members*>(this)->find(name);
}

void Members::method(const std::wstring& name, std::function<Variant(const Args&)> fn) {
    members_.push_back({name, std::move(fn), nullptr});
}

void Members::getter(const std::wstring& name, std::function<Variant()> fn) {
    method(name, [fn = std::move(fn)](const Args&) { return fn(); });
}

void Members::property(const std::wstring& name, std::function<Variant()> get,
                       std::function<void(const Variant&)> put) {
    members_.push_back({name, [get = std::move(get)](const Args&) { return get(); }, std::move(put)});
}

int Members::calls(std::wstring_view name) const {
    const Member* m = find(name);
    return m ? m->calls : 0;
}

int Members::lookups(std::wstring_view name) const {
    const Member* m = find(name);
    return m ? m->lookups : 0;
}

HRESULT Members::idsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        Member* m = i == 0 ? find(names[i]) : nullptr;
        if (m == nullptr) {
            ids[i] = DISPID_UNKNOWN;
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        ++m->lookups;
        ids[i] = static_cast<DISPID>(m - members_.data()) + 1;
    }
    return hr;
}

HRESULT Members::invoke(IDispatch* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception) {
    if (id < 1 || static_cast<std::size_t>(id) > members_.size())
        return DISP_E_MEMBERNOTFOUND;
    // Copied: a member may add members or release this object while it runs.
    const ComPtr<IDispatch> held(self);
    const std::size_t index = static_cast<std::size_t>(id) - 1;
    ++members_[index].calls;
    const std::wstring key = lower(members_[index].name);

    auto raise = [&](HRESULT status, const std::wstring& description) {
        if (exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->scode = status;
            exception->bstrSource = SysAllocString(kind_.c_str());
            exception->bstrDescription = SysAllocString(description.c_str());
        }
        return DISP_E_EXCEPTION;
    };
    if (auto fault = faults_.find(key); fault != faults_.end()) {
        const HRESULT status = fault->second;
        faults_.erase(fault);
        return raise(status, L"injected fault in " + members_[index].name);
    }
    try {
        if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
            auto put = members_[index].put;
            if (!put || params->cArgs != 1 || params->cNamedArgs != 1 ||
                params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_MEMBERNOTFOUND;
            Variant value;
            host::automation::check(VariantCopy(value.put(), &params->rgvarg[0]), "VariantCopy");
            put(value);
            return S_OK;
        }
        if (params->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        Args args;
        for (UINT i = params->cArgs; i > 0; --i) {
            Variant a;
            host::automation::check(VariantCopy(a.put(), &params->rgvarg[i - 1]), "VariantCopy");
            args.push_back(std::move(a));
        }
        auto get = members_[index].get;
        Variant out = get(args);
        if (result != nullptr)
            *result = out.release();
        return S_OK;
    } catch (const host::Failure& failure) {
        return raise(static_cast<HRESULT>(failure.status()), host::automation::wide(failure.what()));
    }
}

Variant text(std::wstring_view s) {
    return Variant::text(s);
}

Variant object(IDispatch* p) {
    return Variant::dispatch(p);
}

std::wstring textOf(const Variant& v) {
    Variant s;
    host::automation::check(VariantChangeType(s.put(), const_cast<VARIANT*>(&v.get()), 0, VT_BSTR), "text");
    return std::wstring(host::automation::bstrView(s.get().bstrVal));
}

} // namespace testhost
