#pragma once
// Date-time values: days counted from 1899-12-30 in double precision, the fraction being the
// time of day. Every date-time and time value of the program is built and taken apart here.

#include <cstdint>
#include <string>

namespace tesmora {

inline constexpr std::int64_t MS_PER_DAY = 86400000;

/// A time value: (h*3,600,000 + m*60,000 + s*1,000 + ms) / 86,400,000.
/// Throws ConvertError unless h < 24, m < 60, s < 60, ms < 1000.
double EncodeTime(int h, int m, int s, int ms);

/// Day number of a date counted from 1899-12-30. Throws ConvertError for a date that does not
/// exist or a year outside 1..9999.
double EncodeDate(int year, int month, int day);

/// EncodeDate + EncodeTime; the components are checked together and an invalid one throws
/// ConvertError with "'%s' is not a valid date and time".
double DT(int year, int month, int day, int h, int m, int s, int ms);

/// The components of a date-time value, rounded to the nearest millisecond.
struct DateTimeParts {
    int year, month, day;
    int hour, minute, second, ms;
};

/// Takes a value apart. The time of day is the non-negative remainder of the value in whole
/// milliseconds modulo one day, so a value just below zero reads 1899-12-29 23:59:59.999.
/// Values outside the years 1..9999 (and non-finite ones) throw ConvertError.
DateTimeParts DecodeDateTime(double value);

/// The time of day of a value, rounded to the nearest millisecond (the day part dropped).
struct TimeParts {
    int hour, minute, second, ms;
};
TimeParts DecodeTime(double value);

/// The time of day of a value cut to whole seconds, as a time value (the day part dropped).
double WholeSecondsOfDay(double value);

/// "yyyy/mm/dd hh:nn:ss"
std::string FormatDateTime(double value);
/// "hh:nn:ss", the time of day only
std::string FormatTime(double value);
/// "h:nn:ss", the time of day only, hour without a leading zero
std::string FormatTimeShort(double value);

} // namespace tesmora
