#include "recording/datetime.h"

#include "recording/convert_error.h"

#include <cmath>
#include <cstdio>

namespace tesmora {
namespace {

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// Constant-initialised, so that dates built during other files' static initialisation see it.
constexpr std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool ValidDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

bool ValidTime(int h, int m, int s, int ms) {
    return h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60 && ms >= 0 && ms < 1000;
}

double TimeFraction(int h, int m, int s, int ms) {
    const std::int64_t total = h * std::int64_t{3600000} + m * 60000 + s * 1000 + ms;
    return static_cast<double>(total) / static_cast<double>(MS_PER_DAY);
}

[[noreturn]] void ThrowInvalid(int y, int mo, int d, int h, int mi, int s, int ms) {
    char text[96];
    if (ms != 0)
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s,
                      ms);
    else
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    throw ConvertError("'" + std::string(text) + "' is not a valid date and time");
}

} // namespace

double EncodeTime(int h, int m, int s, int ms) {
    if (!ValidTime(h, m, s, ms)) throw ConvertError("Invalid argument to time encode");
    return TimeFraction(h, m, s, ms);
}

double EncodeDate(int year, int month, int day) {
    if (!ValidDate(year, month, day)) throw ConvertError("Invalid argument to date encode");
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays);
}

double DT(int year, int month, int day, int h, int m, int s, int ms) {
    if (!ValidDate(year, month, day) || !ValidTime(h, m, s, ms))
        ThrowInvalid(year, month, day, h, m, s, ms);
    return EncodeDate(year, month, day) + TimeFraction(h, m, s, ms);
}

DateTimeParts DecodeDateTime(double value) {
    // 0001-01-01 and 9999-12-31 23:59:59.999, in days from the epoch.
    static const double lo = static_cast<double>(DaysFromCivil(1, 1, 1) - kEpochDays);
    static const double hi = static_cast<double>(DaysFromCivil(10000, 1, 1) - kEpochDays);
    if (!(value >= lo && value < hi)) throw ConvertError("Invalid date and time value");
    const std::int64_t total = std::llround(value * static_cast<double>(MS_PER_DAY));
    std::int64_t days = total / MS_PER_DAY;
    std::int64_t msOfDay = total % MS_PER_DAY;
    if (msOfDay < 0) {
        msOfDay += MS_PER_DAY;
        --days;
    }
    DateTimeParts p{};
    CivilFromDays(days + kEpochDays, p.year, p.month, p.day);
    p.hour = static_cast<int>(msOfDay / 3600000);
    p.minute = static_cast<int>(msOfDay / 60000 % 60);
    p.second = static_cast<int>(msOfDay / 1000 % 60);
    p.ms = static_cast<int>(msOfDay % 1000);
    return p;
}

TimeParts DecodeTime(double value) {
    if (!(std::fabs(value) < 1e9)) throw ConvertError("Invalid date and time value");
    std::int64_t msOfDay = std::llround(value * static_cast<double>(MS_PER_DAY)) % MS_PER_DAY;
    if (msOfDay < 0) msOfDay += MS_PER_DAY;
    const int ms = static_cast<int>(msOfDay);
    return {ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
}

double WholeSecondsOfDay(double value) {
    const TimeParts t = DecodeTime(value);
    return TimeFraction(t.hour, t.minute, t.second, 0);
}

std::string FormatDateTime(double value) {
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return text;
}

std::string FormatTime(double value) {
    const TimeParts p = DecodeTime(value);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    return text;
}

std::string FormatTimeShort(double value) {
    const TimeParts p = DecodeTime(value);
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", p.hour, p.minute, p.second);
    return text;
}

} // namespace tesmora
