#pragma once

// The few WIL-like helpers the Windows side needs, in one place: a failed HRESULT becomes a host::Failure
// where the call is made, a caught exception becomes an HRESULT at the ABI boundary, and every handle
// (HKEY, BSTR, VARIANT, SAFEARRAY) is owned by an object.

#include "host/Failure.h"
#include "host/Ownership.h"

// The platform's headers need <windows.h> ahead of them.
// clang-format off
#include <windows.h>
// clang-format on

#include <new>
#include <oleauto.h>
#include <string>
#include <string_view>
#include <utility>
#include <wrl/client.h>

namespace host::automation {

std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// "Web.RootFolder: 0x80004005 (what the host said)"
std::string describeFailure(std::string_view what, HRESULT hr, std::string_view detail = {});

// THROW_IF_FAILED: a failed status throws host::Failure carrying it, with `what` naming the call.
inline void check(HRESULT hr, std::string_view what) {
    if (FAILED(hr))
        throw Failure(static_cast<std::int32_t>(hr), describeFailure(what, hr));
}

// The same for the registry's and the window manager's Win32 error codes.
inline void checkWin32(LONG error, std::string_view what) {
    if (error != ERROR_SUCCESS)
        check(HRESULT_FROM_WIN32(static_cast<unsigned long>(error)), what);
}

// The reason the system gave for the call that just failed; E_FAIL where it gave none.
[[noreturn]] inline void throwLastError(std::string_view what) {
    const DWORD error = GetLastError();
    const HRESULT hr = error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    throw Failure(static_cast<std::int32_t>(hr), describeFailure(what, hr));
}

// THROW_LAST_ERROR_IF_NULL: a call that returns no handle throws with the system's reason.
template <class Handle> Handle checkLastErrorIfNull(Handle handle, std::string_view what) {
    if (handle == nullptr)
        throwLastError(what);
    return handle;
}

// THROW_IF_WIN32_BOOL_FALSE: the same for a call that reports failure as FALSE.
inline void checkLastErrorIfFalse(BOOL succeeded, std::string_view what) {
    if (!succeeded)
        throwLastError(what);
}

// A function of a system library the process has loaded, looked up by name rather than imported, so that
// a module that calls it still loads on versions of Windows that lack it; null there.
template <class Function> Function* systemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = GetModuleHandleW(library);
    const FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

// CATCH_RETURN: the one translation from an exception in flight to the HRESULT a COM method returns.
// Only call it inside a catch block.
inline HRESULT resultOfCaughtException() noexcept {
    try {
        throw;
    } catch (const Failure& failure) {
        return static_cast<HRESULT>(failure.status());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

#define VARNOOK_CATCH_RETURN()                                                                               \
    catch (...) {                                                                                            \
        return ::host::automation::resultOfCaughtException();                                                \
    }

// Takes over the one reference a new object starts with. Not ComPtr::Attach: mingw-w64's adds a
// reference of its own, unlike WRL's, and the object would never be freed.
template <class T> Microsoft::WRL::ComPtr<T> adopt(T* created) noexcept {
    Microsoft::WRL::ComPtr<T> out;
    *out.GetAddressOf() = created;
    return out;
}

using UniqueHkey = host::UniqueHandle<HKEY, RegCloseKey>;

inline std::wstring_view bstrView(BSTR s) {
    return s != nullptr ? std::wstring_view(s, SysStringLen(s)) : std::wstring_view();
}

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (s_ == nullptr)
            throw std::bad_alloc();
    }
    Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        SysFreeString(std::exchange(s_, std::exchange(other.s_, nullptr)));
        return *this;
    }
    ~Bstr() { SysFreeString(s_); }

    BSTR get() const { return s_; }
    BSTR* put() {
        SysFreeString(std::exchange(s_, nullptr));
        return &s_;
    }
    BSTR release() { return std::exchange(s_, nullptr); }
    std::wstring_view view() const { return bstrView(s_); }

  private:
    BSTR s_ = nullptr;
};

class Variant {
  public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant& other) : Variant() {
        check(VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)), "VariantCopy");
    }
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    Variant& operator=(Variant other) noexcept {
        std::swap(v_, other.v_);
        return *this;
    }
    ~Variant() { VariantClear(&v_); }

    // Takes ownership of what the VARIANT holds.
    static Variant adopt(VARIANT& v) noexcept {
        Variant out;
        out.v_ = v;
        VariantInit(&v);
        return out;
    }
    static Variant text(std::wstring_view s) {
        Variant out;
        out.v_.vt = VT_BSTR;
        out.v_.bstrVal = Bstr(s).release();
        return out;
    }
    static Variant int32(LONG n) {
        Variant out;
        out.v_.vt = VT_I4;
        out.v_.lVal = n;
        return out;
    }
    static Variant number(double d) {
        Variant out;
        out.v_.vt = VT_R8;
        out.v_.dblVal = d;
        return out;
    }
    static Variant boolean(bool b) {
        Variant out;
        out.v_.vt = VT_BOOL;
        out.v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return out;
    }
    static Variant null() {
        Variant out;
        out.v_.vt = VT_NULL;
        return out;
    }
    // An argument left out, as IDispatch callers mark it.
    static Variant missing() {
        Variant out;
        out.v_.vt = VT_ERROR;
        out.v_.scode = DISP_E_PARAMNOTFOUND;
        return out;
    }
    // Holds a reference of its own to the object.
    static Variant dispatch(IDispatch* object) {
        Variant out;
        out.v_.vt = VT_DISPATCH;
        out.v_.pdispVal = object;
        if (object != nullptr)
            object->AddRef();
        return out;
    }

    VARTYPE type() const { return v_.vt; }
    const VARIANT& get() const { return v_; }
    VARIANT& get() { return v_; }
    VARIANT* put() {
        VariantClear(&v_);
        return &v_;
    }
    VARIANT release() noexcept {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

  private:
    VARIANT v_;
};

using SafeArray = host::UniqueHandle<SAFEARRAY*, SafeArrayDestroy>;

// A one-dimensional array of VARIANTs with `count` elements, as the host passes its custom arguments.
inline SafeArray safeArrayOfVariants(ULONG count) {
    SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, count));
    if (!array)
        throw std::bad_alloc();
    return array;
}

} // namespace host::automation
