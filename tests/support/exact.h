#pragma once
// Bit-for-bit comparison of floating-point values. Qt's QCOMPARE on floats and doubles is
// fuzzy (values a few ulps apart pass) and takes 0.0 and -0.0 for equal: where a value is
// promised exactly, it must be compared with this instead.

#include <QTest>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <type_traits>

namespace tesmora::test {

template <typename T>
requires std::is_floating_point_v<T>
bool CompareBits(T actual, T expected, const char* actualText, const char* expectedText,
                 const char* file, int line) {
    using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    static_assert(sizeof(T) == sizeof(Bits));
    if (std::bit_cast<Bits>(actual) == std::bit_cast<Bits>(expected)) return true;
    char message[512];
    std::snprintf(message, sizeof message,
                  "Compared values are not the same bit for bit\n"
                  "   Actual   (%s): %a (%.17g)\n"
                  "   Expected (%s): %a (%.17g)",
                  actualText, double(actual), double(actual), expectedText, double(expected),
                  double(expected));
    QTest::qFail(message, file, line);
    return false;
}

} // namespace tesmora::test

/// QCOMPARE for a float or double promised exactly: the two values must have the same type
/// and the same bits (the sign of zero and NaN payloads included).
#define QCOMPARE_EXACT(actual, expected)                                                           \
    do {                                                                                           \
        if (!::tesmora::test::CompareBits(actual, expected, #actual, #expected, __FILE__,          \
                                          __LINE__))                                               \
            return;                                                                                \
    } while (false)
