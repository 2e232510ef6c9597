#include "host/Value.h"

#include "host/Failure.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace host {
namespace {

std::string numberText(double d) {
    if (std::isnan(d))
        return "NaN";
    if (d == std::trunc(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return buf;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return buf;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Numeric text as the platform reads it: optional surrounding blanks and sign, digits, an optional
// fraction and exponent. Returns false when the text is not a number.
bool parseNumber(std::string_view s, double& out) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

} // namespace

std::string Value::toText() const {
    if (isEmpty())
        return "";
    if (isNull())
        throw Failure(status::TypeMismatch, "invalid use of Null");
    if (isBoolean())
        return std::get<bool>(v_) ? "True" : "False";
    if (isNumber())
        return numberText(std::get<double>(v_));
    return std::get<std::string>(v_);
}

bool Value::textEquals(std::string_view expected) const {
    if (isNull())
        return false;
    return toText() == expected;
}

bool Value::toBoolean() const {
    if (isEmpty() || isNull())
        return false;
    if (isBoolean())
        return std::get<bool>(v_);
    if (isNumber())
        return std::get<double>(v_) != 0.0;
    const std::string& s = std::get<std::string>(v_);
    if (equalsIgnoringCase(s, "true"))
        return true;
    if (equalsIgnoringCase(s, "false"))
        return false;
    double d = 0;
    if (parseNumber(s, d))
        return d != 0.0;
    throw Failure(status::TypeMismatch, "type mismatch: '" + s + "' is not a Boolean");
}

std::string describe(const Value& v) {
    if (v.isEmpty())
        return "Empty";
    if (v.isNull())
        return "Null";
    if (v.isText())
        return "\"" + v.toText() + "\"";
    return v.toText();
}

} // namespace host
