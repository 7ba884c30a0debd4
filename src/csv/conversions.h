#pragma once
// The number conversions of text fields. Both throw ConvertError on text that is not a number.

#include <cstdint>
#include <string_view>

namespace tesmora {

/// Spaces, an optional sign, then decimal digits, or hexadecimal digits after "$", "x" or "0x",
/// up to the end of the text or a zero character. The value must fit in 32 signed bits.
std::int32_t ConvertInteger(std::string_view text);

/// Spaces, an optional sign, digits with at most one "." and an optional exponent, spaces;
/// or "nan", "inf", "infinity" in any letter case after an optional sign. The text ends at a
/// zero character. Rounded to the nearest float; fails when that is infinite, while values
/// too small for a float become zero or subnormal. The sign is kept ("-0.0000" is -0).
float ConvertReal(std::string_view text);

/// A percent field as a fraction: the real conversion divided by 100 in double precision and
/// rounded to a float. A value beyond the float range as percent whose fraction is within it
/// (the writer makes such texts from large fractions) converts in double precision instead.
float ConvertPercent(std::string_view text);

} // namespace tesmora
