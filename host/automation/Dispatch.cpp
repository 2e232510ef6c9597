#include "host/automation/Dispatch.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

namespace host::automation {
namespace {

bool sameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

// The status a raised automation error stands for: its own SCODE, or a VB-style error number.
HRESULT statusOfException(EXCEPINFO& info, HRESULT fallback) {
    if (info.pfnDeferredFillIn != nullptr)
        info.pfnDeferredFillIn(&info);
    if (info.scode != 0)
        return info.scode;
    if (info.wCode != 0)
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
    return fallback;
}

} // namespace

Value toValue(const VARIANT& in) {
    Variant direct;
    const VARIANT* v = &in;
    if ((in.vt & VT_BYREF) != 0) {
        check(VariantCopyInd(direct.put(), const_cast<VARIANT*>(&in)), "VariantCopyInd");
        v = &direct.get();
    }
    switch (v->vt) {
    case VT_EMPTY:
        return Value::empty();
    case VT_NULL:
        return Value::null();
    case VT_BOOL:
        return Value::boolean(v->boolVal != VARIANT_FALSE);
    case VT_BSTR:
        return Value::text(narrow(bstrView(v->bstrVal)));
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE: {
        Variant number;
        check(VariantChangeType(number.put(), const_cast<VARIANT*>(v), 0, VT_R8), "converting a number");
        return Value::number(number.get().dblVal);
    }
    default:
        throw Failure(status::TypeMismatch,
                      "type mismatch: the host returned a value of variant type " + std::to_string(v->vt));
    }
}

Variant toVariant(const Value& value) {
    if (value.isEmpty())
        return Variant();
    if (value.isNull())
        return Variant::null();
    if (value.isBoolean())
        return Variant::boolean(value.toBoolean());
    if (value.isNumber()) {
        const double d = std::stod(value.toText());
        // Whole numbers go as Long, the type the host's own callers pass for an index or an id.
        if (d == std::trunc(d) && std::fabs(d) <= 2147483647.0)
            return Variant::int32(static_cast<LONG>(d));
        return Variant::number(d);
    }
    return Variant::text(wide(value.toText()));
}

DispatchObject::DispatchObject(ComPtr<IDispatch> object, std::string kind)
    : object_(std::move(object)), kind_(std::move(kind)) {
    if (!object_)
        throw Failure(status::NoObject, kind_ + ": object variable not set");
}

std::string DispatchObject::what(std::wstring_view member) const {
    return kind_ + "." + narrow(member);
}

DISPID DispatchObject::id(std::wstring_view member) {
    for (const auto& [name, dispid] : ids_) {
        if (sameName(name, member))
            return dispid;
    }
    std::wstring name(member);
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    check(object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), what(member));
    ids_.emplace_back(std::move(name), dispid);
    return dispid;
}

Variant DispatchObject::invoke(std::wstring_view member, WORD flags, std::vector<Variant>& args,
                               bool wantResult) {
    const DISPID dispid = id(member);
    // IDispatch takes the arguments last to first; the array borrows them, it does not own them.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(it->get());

    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        params.rgdispidNamedArgs = &namedPut;
        params.cNamedArgs = 1;
    }

    Variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = object_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 wantResult ? result.put() : nullptr, &info, &argError);
    if (hr == DISP_E_EXCEPTION) {
        hr = statusOfException(info, hr);
        const std::string detail = narrow(bstrView(info.bstrDescription));
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        throw Failure(static_cast<std::int32_t>(hr), describeFailure(what(member), hr, detail));
    }
    check(hr, what(member));
    return result;
}

Variant DispatchObject::get(std::wstring_view member, std::vector<Variant> args) {
    return invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, true);
}

Variant DispatchObject::call(std::wstring_view member, std::vector<Variant> args) {
    return invoke(member, DISPATCH_METHOD, args, true);
}

void DispatchObject::put(std::wstring_view member, Variant value) {
    std::vector<Variant> args;
    args.push_back(std::move(value));
    invoke(member, DISPATCH_PROPERTYPUT, args, false);
}

std::string DispatchObject::text(std::wstring_view member) {
    Variant v = get(member);
    Variant s;
    check(VariantChangeType(s.put(), &v.get(), 0, VT_BSTR), what(member));
    return narrow(bstrView(s.get().bstrVal));
}

long DispatchObject::integer(std::wstring_view member) {
    Variant v = get(member);
    Variant n;
    check(VariantChangeType(n.put(), &v.get(), 0, VT_I4), what(member));
    return n.get().lVal;
}

ComPtr<IDispatch> DispatchObject::object(std::wstring_view member, std::vector<Variant> args) {
    Variant v = get(member, std::move(args));
    ComPtr<IDispatch> out;
    switch (v.type()) {
    case VT_EMPTY:
        return out;
    case VT_DISPATCH:
        out = v.get().pdispVal;
        return out;
    case VT_UNKNOWN:
        if (v.get().punkVal != nullptr)
            check(v.get().punkVal->QueryInterface(IID_PPV_ARGS(&out)), what(member));
        return out;
    default:
        throw Failure(status::TypeMismatch, what(member) + ": the host returned no object");
    }
}

ComPtr<IDispatch> DispatchObject::requiredObject(std::wstring_view member, std::vector<Variant> args) {
    ComPtr<IDispatch> out = object(member, std::move(args));
    if (!out)
        throw Failure(status::NoObject, what(member) + " returned Nothing");
    return out;
}

std::vector<ComPtr<IDispatch>> zeroBasedItems(DispatchObject& collection) {
    const long count = collection.integer(L"Count");
    std::vector<ComPtr<IDispatch>> out;
    out.reserve(static_cast<std::size_t>(std::max(count, 0L)));
    for (long i = 0; i < count; ++i) {
        std::vector<Variant> args;
        args.push_back(Variant::int32(i));
        out.push_back(collection.requiredObject(L"Item", std::move(args)));
    }
    return out;
}

} // namespace host::automation
