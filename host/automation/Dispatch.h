#pragma once

#include "host/Value.h"
#include "host/automation/Com.h"

#include <oaidl.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <wrl/client.h>

namespace host::automation {

using Microsoft::WRL::ComPtr;

// The value a VARIANT holds, as the core sees values: Empty, Null, Boolean, numbers, text. Anything else
// (an object, an array) fails with a type mismatch.
Value toValue(const VARIANT& v);
Variant toVariant(const Value& value);

// One object of the host reached late-bound through IDispatch. Member names are resolved with
// GetIDsOfNames the first time each is used on this object; nothing assumes a DISPID. Every failing call
// throws host::Failure with the host's HRESULT and "Kind.Member" in the message.
class DispatchObject {
  public:
    DispatchObject(ComPtr<IDispatch> object, std::string kind);

    IDispatch* get() const { return object_.Get(); }
    const std::string& kind() const { return kind_; }

    // A property read or a method call that returns a value; `args` in the order the member declares them.
    Variant get(std::wstring_view member, std::vector<Variant> args = {});
    Variant call(std::wstring_view member, std::vector<Variant> args = {});
    void put(std::wstring_view member, Variant value);

    std::string text(std::wstring_view member);
    long integer(std::wstring_view member);
    // An object property or method result; null when the host returns Nothing or Empty.
    ComPtr<IDispatch> object(std::wstring_view member, std::vector<Variant> args = {});
    // The same, failing when the host returns Nothing.
    ComPtr<IDispatch> requiredObject(std::wstring_view member, std::vector<Variant> args = {});

    std::string what(std::wstring_view member) const;

  private:
    DISPID id(std::wstring_view member);
    Variant invoke(std::wstring_view member, WORD flags, std::vector<Variant>& args, bool wantResult);

    ComPtr<IDispatch> object_;
    std::string kind_;
    std::vector<std::pair<std::wstring, DISPID>> ids_;
};

// A collection of the editor's web object model: Count items, Item(i) zero-based.
std::vector<ComPtr<IDispatch>> zeroBasedItems(DispatchObject& collection);

} // namespace host::automation
