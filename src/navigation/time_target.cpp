#include "navigation/time_target.h"

#include "recording/datetime.h"

#include <cmath>
#include <cstdio>

namespace tesmora {
namespace {

constexpr const char* kHowTo = "Enter a clock time as hh:mm:ss, or the time since the start "
                               "as +h:mm:ss.";

// "h:mm" or "h:mm:ss" with at most `maxHours` hours; minutes and seconds below 60.
std::optional<std::int64_t> ParseClockParts(std::string_view t, std::int64_t maxHours) {
    std::int64_t parts[3] = {0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    while (count < 3) {
        const std::size_t start = i;
        std::int64_t v = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && i - start < 7)
            v = v * 10 + (t[i++] - '0');
        const std::size_t digits = i - start;
        if (digits == 0 || (count > 0 && digits != 2)) return std::nullopt;
        parts[count++] = v;
        if (i == t.size()) break;
        if (t[i] != ':') return std::nullopt;
        ++i;
    }
    if (i != t.size() || count < 2) return std::nullopt;
    if (parts[0] > maxHours || parts[1] > 59 || parts[2] > 59) return std::nullopt;
    return (parts[0] * 3600 + parts[1] * 60 + parts[2]) * 1000;
}

std::string_view Trimmed(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
}

// Elapsed milliseconds as "+h:mm:ss".
std::string ElapsedText(std::int64_t ms) {
    const std::int64_t s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "+%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return text;
}

std::string NotATime(std::string_view text) {
    std::string m = "\"";
    m.append(text).append("\" is not a time. ").append(kHowTo);
    return m;
}

std::int64_t StartMs(const RecordingSpan& span) {
    return std::llround(span.startTime * static_cast<double>(MS_PER_DAY));
}

} // namespace

std::vector<std::int64_t> RecordingDays(const RecordingSpan& span) {
    std::vector<std::int64_t> days;
    if (span.dataCount <= 0 || span.rate <= 0 || !std::isfinite(span.startTime)) return days;
    const std::int64_t first = StartMs(span);
    const std::int64_t last = first + std::int64_t{span.dataCount - 1} * span.rate;
    auto dayOf = [](std::int64_t ms) {
        return ms >= 0 ? ms / MS_PER_DAY : -((-ms + MS_PER_DAY - 1) / MS_PER_DAY);
    };
    for (std::int64_t d = dayOf(first); d <= dayOf(last); ++d) days.push_back(d);
    return days;
}

TimeTarget FindTimeTarget(std::string_view text, const RecordingSpan& span,
                          std::optional<std::int64_t> day) {
    TimeTarget out;
    text = Trimmed(text);
    if (span.dataCount <= 0 || span.rate <= 0) {
        out.message = "No recording is loaded.";
        return out;
    }
    if (text.empty()) {
        out.message = kHowTo;
        return out;
    }
    const std::int64_t lastElapsed = std::int64_t{span.dataCount - 1} * span.rate;
    auto nearest = [&](std::int64_t elapsedMs) {
        return static_cast<std::int32_t>((elapsedMs + span.rate / 2) / span.rate);
    };
    if (text.front() == '+') {
        const std::optional<std::int64_t> ms = ParseClockParts(text.substr(1), 999);
        if (!ms) {
            out.message = NotATime(text);
        } else if (*ms > lastElapsed) {
            out.message = "The recording ends ";
            out.message.append(ElapsedText(lastElapsed)).append(" after its start.");
        } else {
            out.index = nearest(*ms);
        }
        return out;
    }
    const std::optional<std::int64_t> clock = ParseClockParts(text, 23);
    if (!clock) {
        out.message = NotATime(text);
        return out;
    }
    const std::int64_t first = StartMs(span), last = first + lastElapsed;
    std::vector<std::int64_t> days = day ? std::vector<std::int64_t>{*day} : RecordingDays(span);
    for (const std::int64_t d : days) {
        const std::int64_t at = d * MS_PER_DAY + *clock;
        if (at >= first && at <= last) {
            out.index = nearest(at - first);
            return out;
        }
    }
    out.message = std::string(text);
    out.message.append(" is not within the recording, which runs from ")
        .append(FormatDateTime(span.startTime))
        .append(" to ")
        .append(FormatDateTime(span.startTime + static_cast<double>(lastElapsed) / MS_PER_DAY))
        .append(".");
    return out;
}

} // namespace tesmora
