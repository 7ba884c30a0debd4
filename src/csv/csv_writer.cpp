#include "csv/csv_writer.h"

#include "recording/datetime.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tesmora {
namespace {

// Header texts in ASCII: every other character, a comma and a line break become "?", so the
// columns and lines stay intact when the file is read back.
void PutAsciiText(ByteSink& out, std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.Put(c == ',' || c == '\r' || c == '\n' ? '?' : static_cast<char>(c));
            continue;
        }
        out.Put('?');
        // Skip the continuation bytes of this character.
        while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
    }
}

// printf's "%W.Pf": fixed notation, right-aligned in `width` characters; "nan", "-nan", "inf"
// and "-inf" for values that are not finite, as printf writes them.
// value * 10^precision when that product is exact (at most 53 significant bits) and below
// 2^53; this holds for the floats of a recording and for a float times 100.
bool ExactScaled(double value, int precision, double& scaled) {
    static constexpr double kPow10[5] = {1, 10, 100, 1000, 10000};
    if (!std::isfinite(value) || precision < 0 || precision > 4) return false;
    const double a = std::fabs(value);
    if (a >= 0x1p40) return false;
    if (a != 0) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(a);
        const std::uint64_t mantissa =
            (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        const int significant = 53 - std::countr_zero(mantissa);
        if (significant + 10 > 53) return false; // 10^4 = 5^4 * 2^4 adds at most 10 bits
        if ((bits >> 52) == 0) return false;     // subnormal: leave it to the general path
    }
    scaled = a * kPow10[precision];
    return true;
}

void PutFixed(ByteSink& out, double value, int width, int precision) {
    char text[400]; // room for any double in fixed notation: 309 digits, sign, point, decimals
    char* end;
    double scaled;
    if (ExactScaled(value, precision, scaled)) {
        // printf rounds the exact value to nearest, ties to even: so does nearbyint.
        std::uint64_t n = static_cast<std::uint64_t>(std::nearbyint(scaled));
        char digits[32];
        int len = 0;
        do {
            digits[len++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0 || len <= precision);
        end = text;
        if (std::signbit(value)) *end++ = '-';
        for (int i = len - 1; i >= 0; --i) {
            *end++ = digits[i];
            if (i == precision && precision > 0) *end++ = '.';
        }
    } else if (std::isfinite(value)) {
        const auto r =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
        end = r.ec == std::errc() ? r.ptr : text;
    } else {
        const char* word = std::isnan(value) ? "nan" : "inf";
        end = text;
        if (std::signbit(value)) *end++ = '-';
        std::memcpy(end, word, 3);
        end += 3;
    }
    const int len = static_cast<int>(end - text);
    char* p = out.Reserve(static_cast<std::size_t>(std::max(len, width)));
    int k = 0;
    for (; k < width - len; ++k) p[k] = ' ';
    std::memcpy(p + k, text, static_cast<std::size_t>(len));
    out.Advance(static_cast<std::size_t>(k + len));
}

// "hh:nn:ss" of a time of day, without building a string per row.
void PutTime(ByteSink& out, double value) {
    const TimeParts t = DecodeTime(value);
    char* p = out.Reserve(8);
    const int parts[3] = {t.hour, t.minute, t.second};
    for (int k = 0; k < 3; ++k) {
        p[3 * k] = static_cast<char>('0' + parts[k] / 10);
        p[3 * k + 1] = static_cast<char>('0' + parts[k] % 10);
        if (k < 2) p[3 * k + 2] = ':';
    }
    out.Advance(8);
}

void PutValues(ByteSink& out, const ChannelData& ch) {
    out.Put(',');
    PutFixed(out, ch.OXHb, 7, 4);
    out.Put(',');
    PutFixed(out, ch.DXHb, 7, 4);
    out.Put(',');
    PutFixed(out, ch.TOHb, 7, 4);
    out.Put(',');
    PutFixed(out, static_cast<double>(ch.StO2) * 100.0, 6, 2);
}

void PutHead(ByteSink& out, const RecordingStore& store, bool withPatient) {
    out.Write("S/N,");
    PutAsciiText(out, store.SerialNo);
    out.Write(",RATE,");
    out.WriteInteger(store.Rate);
    if (withPatient && !store.PatientID.empty()) {
        out.Write(",ID,");
        PutAsciiText(out, store.PatientID);
        if (!store.PatientName.empty()) {
            out.Write(",NAME,");
            PutAsciiText(out, store.PatientName);
        }
    }
    out.Write("\r\nSTART ");
    out.Write(FormatDateTime(store.StartTime));
    out.Write("\r\nEND ");
    out.Write(FormatDateTime(store.EndTime));
    out.Write("\r\n");
}

} // namespace

bool CanWriteCsv(const RecordingStore& store) {
    return store.DataType == 1 || store.DataType == 4;
}

bool WriteCsvRecording(const RecordingStore& store, ByteSink& out) {
    if (!CanWriteCsv(store)) return false;
    const SampleRecord* const buf = store.SampleBuff.get();
    if (store.DataType == 1) {
        PutHead(out, store, false);
        out.Write(",,CH1\r\nTIME,SEQ,ERROR,OXHb,DXHb,TOHb,Sto2\r\n");
        for (std::int32_t j = 0; j < store.DataCount; ++j) {
            const SampleRecord& r = buf[j];
            const ChannelData& ch = r.Ch[0];
            PutTime(out, r.Time);
            out.Put(',');
            out.WriteInteger(r.Seq);
            out.Put(',');
            if (ch.Status & STS_P) {
                out.Write("P,,,,");
            } else {
                if (ch.Status & STS_E) out.Put('E');
                PutValues(out, ch);
            }
            out.Write("\r\n");
        }
        return true;
    }
    PutHead(out, store, true);
    out.Write(",,,CH1,,,,,CH2,,,,,CH3\r\n"
              "TIME,SEQ,BATT[V],ERROR,OXHb,DXHb,TOHb,Sto2,ERROR,OXHb,DXHb,TOHb,Sto2,ERROR,OXHb,"
              "DXHb,TOHb,Sto2\r\n");
    const int channels = std::clamp(store.ChCount, 0, 4);
    for (std::int32_t j = 0; j < store.DataCount; ++j) {
        const SampleRecord& r = buf[j];
        PutTime(out, r.Time);
        out.Put(',');
        out.WriteInteger(r.Seq);
        out.Put(',');
        PutFixed(out, r.Batt, 3, 1);
        for (int c = 0; c < channels; ++c) {
            const ChannelData& ch = r.Ch[c];
            if (ch.Status & STS_P) {
                out.Write(",P,,,,");
            } else if (ch.Status & STS_NOCODE) {
                out.Write(",E,,,,");
            } else {
                out.Write((ch.Status & STS_E) ? ",E" : ",");
                PutValues(out, ch);
            }
        }
        out.Write("\r\n");
    }
    return true;
}

} // namespace tesmora
