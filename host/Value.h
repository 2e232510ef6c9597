#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace host {

// A variant value as the host's automation layer passes it: Empty, Null, Boolean, Number or Text, with
// the platform's own conversions to text and to Boolean.
class Value {
  public:
    struct EmptyTag {
        bool operator==(const EmptyTag&) const = default;
    };
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };

    Value() = default;
    static Value empty() { return Value(); }
    static Value null() { return Value(NullTag{}); }
    static Value boolean(bool b) { return Value(b); }
    static Value number(double d) { return Value(d); }
    static Value text(std::string s) { return Value(std::move(s)); }

    bool isEmpty() const { return std::holds_alternative<EmptyTag>(v_); }
    bool isNull() const { return std::holds_alternative<NullTag>(v_); }
    bool isBoolean() const { return std::holds_alternative<bool>(v_); }
    bool isNumber() const { return std::holds_alternative<double>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }

    // Text as the platform converts it: Empty is "", True is "True", numbers in their shortest form.
    // Null has no text: converting it fails.
    std::string toText() const;

    // True when the value is exactly the given text once converted; Null never equals anything.
    bool textEquals(std::string_view expected) const;

    // Boolean as the platform converts it: Empty and Null are false, numbers are true when non-zero,
    // the words true/false in any letter case and numeric text by value. Other text fails to convert.
    bool toBoolean() const;

    bool operator==(const Value&) const = default;

  private:
    template <class T> explicit Value(T v) : v_(std::move(v)) {}
    std::variant<EmptyTag, NullTag, bool, double, std::string> v_;
};

std::string describe(const Value& v); // for messages and test output

} // namespace host
