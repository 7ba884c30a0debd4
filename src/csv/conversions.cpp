#include "csv/conversions.h"

#include "recording/ascii.h"
#include "recording/convert_error.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tesmora {
namespace {

std::string_view UpToZero(std::string_view text) {
    // Fields are a few characters long: a plain loop beats a library search here.
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\0') return text.substr(0, i);
    return text;
}

// The common form "[-]digits[.digits]" with at most 8 decimals, an integer part below 2^16
// and at most 15 digits, as the writer makes it: the digits make an exact integer m, and
// m * 10^-k is at most two double roundings away from m / 10^k. Such a decimal is never a
// tie between two floats, and lies farther from every tie than those roundings go, so the
// float nearest to the product is the float nearest to the decimal. Returns false for any
// other form, which the general path takes.
bool ConvertPlainDecimal(std::string_view field, float& out) {
    static constexpr double kInvPow10[9] = {1, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8};
    const char* p = field.data();
    const char* const e = p + field.size();
    while (p != e && *p == ' ') ++p;
    const bool negative = p != e && *p == '-';
    if (negative) ++p;
    std::uint64_t m = 0;
    int digits = 0;
    for (; p != e && *p >= '0' && *p <= '9'; ++p, ++digits)
        m = m * 10 + static_cast<unsigned>(*p - '0');
    if (m >= 65536) return false;
    int decimals = 0;
    if (p != e && *p == '.') {
        for (++p; p != e && *p >= '0' && *p <= '9'; ++p, ++decimals)
            m = m * 10 + static_cast<unsigned>(*p - '0');
    }
    while (p != e && *p == ' ') ++p;
    // The text ends at the field's end or at a zero character.
    if ((p != e && *p != '\0') || digits + decimals == 0 || digits + decimals > 15 || decimals > 8)
        return false;
    const float v = static_cast<float>(static_cast<double>(m) * kInvPow10[decimals]);
    out = negative ? -v : v;
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void NotInteger(std::string_view text) {
    throw ConvertError("'" + std::string(text) + "' is not a valid integer value for Integer type");
}

[[noreturn]] void NotReal(std::string_view text) {
    throw ConvertError("'" + std::string(text) +
                       "' is not a valid floating point value for Single type");
}

} // namespace

std::int32_t ConvertInteger(std::string_view field) {
    // The common form first: spaces, then decimal digits to the end of the field.
    {
        const char* p = field.data();
        const char* const e = p + field.size();
        while (p != e && *p == ' ') ++p;
        std::int64_t v = 0;
        const char* const digits = p;
        for (; p != e && *p >= '0' && *p <= '9' && p - digits < 10; ++p) v = v * 10 + (*p - '0');
        if (p == e && p != digits && v <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(v);
    }
    const std::string_view text = UpToZero(field);
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) NotInteger(text);
    // Accumulate the magnitude; anything beyond 2^31 fails, so it cannot overflow.
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = base == 16 ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
        if (d < 0) NotInteger(text);
        magnitude = magnitude * base + d;
        if (magnitude > std::int64_t{1} << 31) NotInteger(text);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) NotInteger(text);
    return static_cast<std::int32_t>(value);
}

namespace {

// The general path of the real conversion, rounding to T (float, or double for percent).
template <typename T>
T ConvertDecimal(std::string_view field) {
    const std::string_view text = UpToZero(field);
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    std::string_view t = text.substr(b, e - b);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (EqualsIgnoringAsciiCase(t, "nan"))
        return std::copysign(std::numeric_limits<T>::quiet_NaN(), negative ? T(-1) : T(1));
    if (EqualsIgnoringAsciiCase(t, "inf") || EqualsIgnoringAsciiCase(t, "infinity"))
        return negative ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();

    // Check the form ourselves: from_chars would stop early ("1e") or accept more ("0x1p3").
    std::size_t i = 0;
    int intDigits = 0, leadingFracZeros = 0, digits = 0;
    bool significant = false;
    for (; i < t.size() && IsDigit(t[i]); ++i, ++digits)
        if (significant || t[i] != '0') {
            significant = true;
            ++intDigits;
        }
    if (i < t.size() && t[i] == '.') {
        for (++i; i < t.size() && IsDigit(t[i]); ++i, ++digits) {
            if (t[i] != '0') significant = true;
            if (!significant) ++leadingFracZeros;
        }
    }
    if (digits == 0) NotReal(text);
    std::int64_t exponent = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) expNegative = t[i++] == '-';
        if (i == t.size() || !IsDigit(t[i])) NotReal(text);
        for (; i < t.size() && IsDigit(t[i]); ++i)
            exponent = std::min<std::int64_t>(exponent * 10 + (t[i] - '0'), 1'000'000'000);
        if (expNegative) exponent = -exponent;
    }
    if (i != t.size()) NotReal(text);

    T value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        // Either beyond the largest value or below half the smallest subnormal: tell them
        // apart by the decimal exponent of the first significant digit.
        const std::int64_t lead =
            intDigits > 0 ? intDigits - 1 + exponent : exponent - leadingFracZeros - 1;
        if (lead >= 0) NotReal(text);
        value = 0;
    } else if (r.ec != std::errc() || r.ptr != t.data() + t.size()) {
        NotReal(text);
    }
    return negative ? -value : value;
}

} // namespace

float ConvertReal(std::string_view field) {
    float plain;
    if (ConvertPlainDecimal(field, plain)) return plain;
    return ConvertDecimal<float>(field);
}

float ConvertPercent(std::string_view field) {
    try {
        return static_cast<float>(static_cast<double>(ConvertReal(field)) / 100.0);
    } catch (const ConvertError&) {
        // A fraction near the float range is beyond it as percent, and the writer writes it
        // so: take such a value in double precision. Anything else fails as the real
        // conversion fails.
        double fraction = std::numeric_limits<double>::infinity();
        try {
            fraction = ConvertDecimal<double>(field) / 100.0;
        } catch (const ConvertError&) {
        }
        // Accepted when its nearest float is finite: up to, not including, the midpoint
        // between the largest float and 2^128, which rounds (to even) to infinity.
        constexpr double kFloatRangeEnd = 0x1.ffffffp127;
        if (std::fabs(fraction) < kFloatRangeEnd) return static_cast<float>(fraction);
        throw;
    }
}

} // namespace tesmora
