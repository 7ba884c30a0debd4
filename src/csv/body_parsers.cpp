#include "csv/conversions.h"
#include "csv/line_buffer.h"
#include "recording/datetime.h"

#include <algorithm>

namespace tesmora {
namespace {

// What tells the three models apart.
struct Model {
    int channels;  // channel marks required on the channel line
    int minFields; // on the title line and on data rows
};
constexpr Model kMV31{1, 7};
constexpr Model kPc48{1, 9};
constexpr Model kPc56{3, 18};

// Reads a number up to the next `sep` at or after p, within the line, and moves p past the
// separator. A missing comma lets the number run to the end of the line; any other missing
// separator reads nothing and returns false.
bool ScanPart(const LINE_BUFF_TYPE& lb, std::int32_t& p, char sep, std::int32_t& value) {
    const std::size_t at = lb.str.find(sep, static_cast<std::size_t>(p));
    if (at == std::string_view::npos) {
        if (sep != ',') return false;
        value = ConvertInteger(lb.str.substr(static_cast<std::size_t>(p)));
        p = lb.n;
        return false;
    }
    value = ConvertInteger(
        lb.str.substr(static_cast<std::size_t>(p), at - static_cast<std::size_t>(p)));
    p = static_cast<std::int32_t>(at) + 1;
    return true;
}

// "START yyyy/mm/dd hh:nn:ss" or "END ...", the date in the keyword's field or in field 1.
std::uint8_t ParseDateLine(LINE_BUFF_TYPE& lb, std::string_view keyword, double& target) {
    if (lb.cn >= 1) lb.cn = lb.len[1] != 0 ? 1 : 0; // later fields do not count
    if (!((lb.cn == 0 && lb.len[0] > 10) || (lb.cn == 1 && lb.len[1] > 10))) return 1;
    if (lb.str.substr(0, keyword.size()) != keyword) return 1;

    std::int32_t parts[6] = {0, 0, 0, 0, 0, 0};
    static constexpr char seps[6] = {'/', '/', ' ', ':', ':', ','};
    std::int32_t p = lb.cn == 1 ? lb.pos[1] : static_cast<std::int32_t>(keyword.size());
    for (int k = 0; k < 6; ++k)
        if (!ScanPart(lb, p, seps[k], parts[k])) break;
    auto u16 = [](std::int32_t v) { return static_cast<int>(static_cast<std::uint16_t>(v)); };
    target = DT(u16(parts[0]), u16(parts[1]), u16(parts[2]), u16(parts[3]), u16(parts[4]),
                u16(parts[5]), 0);
    return 0;
}

std::uint8_t ParseChannelLine(const LINE_BUFF_TYPE& lb, const Model& model, RecordingStore& store) {
    int marks = 0;
    for (int i = 0; i <= lb.cn; ++i)
        if (lb.pos[i] + 2 <= lb.n && lb.str.substr(static_cast<std::size_t>(lb.pos[i]), 2) == "CH")
            ++marks;
    if (marks != model.channels) return 1;
    store.ChCount = marks;
    return 0;
}

std::uint8_t ParseTitleLine(const LINE_BUFF_TYPE& lb, const Model& model) {
    return lb.cn + 1 < model.minFields || lb.Field(0) != "TIME" ? 1 : 0;
}

// The elapsed time of a data row: h:m:s in field 0, each part a 16-bit value.
double ParseRowTime(const LINE_BUFF_TYPE& lb) {
    std::int32_t parts[3] = {0, 0, 0};
    std::int32_t p = 0;
    for (int k = 0; k < 3 && p < lb.len[0]; ++k)
        if (!ScanPart(lb, p, k < 2 ? ':' : ',', parts[k])) break;
    auto u16 = [](std::int32_t v) { return static_cast<int>(static_cast<std::uint16_t>(v)); };
    return EncodeTime(u16(parts[0]), u16(parts[1]), u16(parts[2]), 0);
}

float RealOrZero(std::string_view field) {
    return field.empty() ? 0.0f : ConvertReal(field);
}

// The four values of a channel from fields first..first+3; true when all four were empty.
bool ParseValues(const LINE_BUFF_TYPE& lb, int first, ChannelData& ch) {
    const bool allEmpty = lb.Field(first).empty() && lb.Field(first + 1).empty() &&
                          lb.Field(first + 2).empty() && lb.Field(first + 3).empty();
    ch.OXHb = RealOrZero(lb.Field(first));
    ch.DXHb = RealOrZero(lb.Field(first + 1));
    ch.TOHb = RealOrZero(lb.Field(first + 2));
    ch.StO2 = lb.Field(first + 3).empty() ? 0.0f : ConvertPercent(lb.Field(first + 3));
    return allEmpty;
}

// Single-channel mark: "P..." is a P sample, any other text an error sample.
std::uint16_t SingleChannelMark(std::string_view mark) {
    if (mark.empty()) return 0;
    return mark[0] == 'P' ? STS_P : STS_E;
}

// Lines 1 to 4, the same for every model; -1 for a data row.
int ParseHeadLines(LINE_BUFF_TYPE& lb, const Model& model, RecordingStore& store) {
    switch (lb.ln) {
    case 1:
        return ParseDateLine(lb, "START", store.StartTime);
    case 2:
        return ParseDateLine(lb, "END", store.EndTime);
    case 3:
        return ParseChannelLine(lb, model, store);
    case 4:
        return ParseTitleLine(lb, model);
    default:
        return lb.ln <= 0 ? 0 : -1;
    }
}

} // namespace

std::uint8_t GetColumn31(LINE_BUFF_TYPE& lb, RecordingStore& store) {
    if (const int r = ParseHeadLines(lb, kMV31, store); r >= 0) return static_cast<std::uint8_t>(r);
    if (lb.cn + 1 < kMV31.minFields) return 1;
    SampleRecord& row = store.RowBuff;
    row.Time = ParseRowTime(lb);
    row.Seq = ConvertInteger(lb.Field(1));
    row.Ch[0].Status = SingleChannelMark(lb.Field(2));
    ParseValues(lb, 3, row.Ch[0]);
    return 0;
}

std::uint8_t GetColumn48(LINE_BUFF_TYPE& lb, RecordingStore& store) {
    if (const int r = ParseHeadLines(lb, kPc48, store); r >= 0) return static_cast<std::uint8_t>(r);
    if (lb.cn + 1 < kPc48.minFields) return 1;
    SampleRecord& row = store.RowBuff;
    row.Time = ParseRowTime(lb);
    row.Seq = ConvertInteger(lb.Field(1));
    row.Ch[0].Temp = ConvertReal(lb.Field(3));
    row.Ch[0].Status = SingleChannelMark(lb.Field(4));
    ParseValues(lb, 5, row.Ch[0]);
    return 0;
}

std::uint8_t GetColumn56(LINE_BUFF_TYPE& lb, RecordingStore& store) {
    if (const int r = ParseHeadLines(lb, kPc56, store); r >= 0) return static_cast<std::uint8_t>(r);
    if (lb.cn + 1 < kPc56.minFields) return 1;
    SampleRecord& row = store.RowBuff;
    row.Time = ParseRowTime(lb);
    row.Seq = ConvertInteger(lb.Field(1));
    row.Batt = ConvertReal(lb.Field(2));
    const int channels = std::clamp(store.ChCount, 0, 4);
    for (int c = 0; c < channels; ++c) {
        ChannelData& ch = row.Ch[c];
        ch.Status = lb.Field(3 + 5 * c).empty() ? 0 : STS_E;
        if (ParseValues(lb, 4 + 5 * c, ch)) ch.Status = STS_NOCODE | STS_E;
    }
    return 0;
}

} // namespace tesmora
