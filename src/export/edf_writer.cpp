#include "export/edf_writer.h"

#include "recording/datetime.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <edflib.h>
#include <exception>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tesmora {
namespace {

// EDFlib keeps this many bytes of an annotation's text and drops the rest, wherever that
// falls; the text is cut before it, at a character boundary.
constexpr std::size_t kAnnotationBytes = 40;
// Each annotation signal holds one annotation per data record; EDFlib allows this many.
constexpr int kMaxAnnotationSignals = 64;
// Values beyond this magnitude are written as "no value": the 8-character header fields that
// frame a signal's range hold at most 8 digits, and a step below the lowest value must fit.
constexpr double kLargestValue = 1e6;

struct Signal {
    std::string label;
    std::string unit;
    std::size_t valueOffset = 0; // float in a SampleRecord
    std::ptrdiff_t statusOffset; // uint16 in a SampleRecord, -1 for none (the battery)
    double scale = 1;            // physical value = stored value x scale
    double lo = 0, hi = 0;       // finite valid values
    bool any = false;            // any valid value at all
    double physMin = 0, physMax = 0;
    double step = 1, inverseStep = 1; // physical units per digital step
};

// The physical value of a sample, or NaN when it carries none.
inline double PhysicalValue(const SampleRecord& r, const Signal& s) {
    const char* base = reinterpret_cast<const char*>(&r);
    if (s.statusOffset >= 0) {
        std::uint16_t status;
        std::memcpy(&status, base + s.statusOffset, sizeof status);
        if (status != 0) return std::nan("");
    }
    float v;
    std::memcpy(&v, base + s.valueOffset, sizeof v);
    const double x = static_cast<double>(v) * s.scale;
    return std::fabs(x) <= kLargestValue ? x : std::nan(""); // NaN and infinities fail too
}

// True when the sample's status marks it as measured (the battery has no status).
inline bool Measured(const SampleRecord& r, const Signal& s) {
    if (s.statusOffset < 0) return true;
    std::uint16_t status;
    std::memcpy(&status, reinterpret_cast<const char*>(&r) + s.statusOffset, sizeof status);
    return status == 0;
}

std::vector<Signal> Layout(const RecordingStore& store) {
    static constexpr std::array<const char*, 4> kQuantities = {"OXHb", "DXHb", "TOHb", "StO2"};
    std::vector<Signal> signals;
    for (int c = 0; c < store.ChCount; ++c) {
        const std::size_t ch = offsetof(SampleRecord, Ch) + c * sizeof(ChannelData);
        const std::string name = "CH" + std::to_string(c + 1) + " ";
        const auto status = static_cast<std::ptrdiff_t>(ch + offsetof(ChannelData, Status));
        for (int k = 0; k < 4; ++k) {
            Signal s{.label = name + kQuantities[k],
                     // The device's files name no unit for haemoglobin.
                     .unit = k == 3 ? "%" : "",
                     .valueOffset = ch + offsetof(ChannelData, OXHb) + k * sizeof(float),
                     .statusOffset = status,
                     .scale = k == 3 ? 100.0 : 1.0};
            signals.push_back(std::move(s));
        }
        if (store.DataType == 3)
            signals.push_back(Signal{.label = name + "Temp",
                                     .unit = "degC",
                                     .valueOffset = ch + offsetof(ChannelData, Temp),
                                     .statusOffset = status});
    }
    if (store.DataType == 4)
        signals.push_back(Signal{.label = "Batt",
                                 .unit = "V",
                                 .valueOffset = offsetof(SampleRecord, Batt),
                                 .statusOffset = -1});
    return signals;
}

// A header number: the shortest text of at most 8 characters, at the finest resolution that
// fits, whose value is at least x (up) or at most x (down). Empty when none fits.
std::string HeaderNumber(double x, bool up) {
    static constexpr std::array<double, 8> kPow10 = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
    for (int d = 7; d >= 0; --d) {
        double k = up ? std::ceil(x * kPow10[d]) : std::floor(x * kPow10[d]);
        char buf[64];
        for (int tries = 0; tries < 4; ++tries) {
            const auto r =
                std::to_chars(buf, buf + sizeof buf, k / kPow10[d], std::chars_format::fixed, d);
            if (r.ec != std::errc()) return {};
            double v = 0;
            std::from_chars(buf, r.ptr, v);
            if (up ? v >= x : v <= x) {
                std::string text(buf, r.ptr);
                if (text.find('.') != std::string::npos) {
                    while (text.back() == '0') text.pop_back();
                    if (text.back() == '.') text.pop_back();
                }
                if (text == "-0") text = "0";
                if (text.size() <= 8) return text;
                break;
            }
            k += up ? 1 : -1; // x * 10^d rounded the wrong way
        }
    }
    return {};
}

double ParseNumber(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    double v = std::nan("");
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() ? v : std::nan("");
}

// Frames the valid values [lo, hi] so that they map onto digital minimum + 1 .. maximum and
// the digital minimum lies below them: it stands for "no value". The header holds each bound
// as decimal text, so the step is worked out from the values those texts give back.
bool Frame(Signal& s, int digitalSpan) {
    double lo = s.lo, hi = s.hi;
    if (!s.any) lo = -1, hi = 1;
    if (lo == hi) {
        const double half = std::max(1.0, std::fabs(lo)) * 1e-3;
        lo -= half;
        hi += half;
    }
    const std::string maxText = HeaderNumber(hi, true);
    if (maxText.empty()) return false;
    s.physMax = ParseNumber(maxText);
    double margin = (s.physMax - lo) / (digitalSpan - 1);
    for (int tries = 0; tries < 64; ++tries) {
        const std::string minText = HeaderNumber(lo - margin, false);
        if (minText.empty()) return false;
        s.physMin = ParseNumber(minText);
        s.step = (s.physMax - s.physMin) / digitalSpan;
        // A whole step between the lowest value and "no value".
        if (lo - s.physMin >= s.step) {
            s.inverseStep = 1 / s.step;
            return s.step > 0 && std::isfinite(s.step);
        }
        margin = std::max(margin * 2, s.step * 1.5);
    }
    return false;
}

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n;
    unsigned cp;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, cp = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, cp = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, cp = b & 0x07;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// Header text: printable ASCII without spaces (they separate the subfields). Letters of the
// Latin-1 range lose their accents; other characters become '?'.
std::string HeaderText(std::string_view utf8) {
    static constexpr std::string_view kLatin1 =
        "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYPsaaaaaaaceeeeiiiidnooooo/ouuuuypy"; // U+00C0 to U+00FF
    static_assert(kLatin1.size() == 64);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = Utf8Length(utf8, i);
        if (n == 1)
            out += b == ' ' ? '_' : (b < 0x20 || b == 0x7F) ? '?' : static_cast<char>(b);
        else if (n == 2 && b == 0xC3)
            out += kLatin1[static_cast<unsigned char>(utf8[i + 1]) & 0x3F];
        else
            out += '?';
        i += std::max<std::size_t>(n, 1);
    }
    return out;
}

// An annotation's text as written: valid UTF-8 (a broken sequence becomes '?'), control
// characters (the annotation format's separators among them) as spaces, cut at a character
// boundary to what EDFlib keeps.
std::string EdfAnnotationText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = Utf8Length(text, i);
        std::string_view piece;
        if (n == 0) {
            piece = "?";
            n = 1;
        } else if (n == 1 && (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F)) {
            piece = " ";
        } else {
            piece = text.substr(i, n);
        }
        if (out.size() + piece.size() > kAnnotationBytes) break;
        out += piece;
        i += n;
    }
    return out;
}

// EDFlib flushes its stream after every data record, as a recorder writing live would: for an
// export, which is written in one go into a temporary file that only gets its name once it
// is complete, that is a system call per second of recording (two thirds of a 48-hour
// export's time) and protects nothing. So the stream it opens for an export gets a large
// buffer, and its flushes before the close are skipped; the close writes the rest, and
// CheckWritten then reads back what arrived. EDFlib is linked statically with its calls of
// fopen64 and fflush wrapped (--wrap, see src/CMakeLists.txt): every other stream of the
// program is flushed as usual.
thread_local const char* t_exportPath = nullptr; // the file WriteEdf has EDFlib open
thread_local FILE* t_exportStream = nullptr;     // the stream EDFlib opened for it

} // namespace
} // namespace tesmora

extern "C" {
FILE* __real_fopen64(const char* path, const char* mode);
int __real_fflush(FILE* stream);
FILE* __wrap_fopen64(const char* path, const char* mode);
int __wrap_fflush(FILE* stream);

FILE* __wrap_fopen64(const char* path, const char* mode) {
    FILE* f = __real_fopen64(path, mode);
    if (f != nullptr && tesmora::t_exportPath != nullptr &&
        std::strcmp(path, tesmora::t_exportPath) == 0) {
        std::setvbuf(f, nullptr, _IOFBF, std::size_t{1} << 20);
        tesmora::t_exportStream = f;
    }
    return f;
}

int __wrap_fflush(FILE* stream) {
    if (stream != nullptr && stream == tesmora::t_exportStream) return 0;
    return __real_fflush(stream);
}
}

namespace tesmora {
namespace {

// EDFlib opens `path` for this export's stream while it lives (see __wrap_fopen64).
struct ExportStream {
    explicit ExportStream(const std::string& path) { t_exportPath = path.c_str(); }
    ~ExportStream() {
        t_exportPath = nullptr;
        t_exportStream = nullptr;
    }
    ExportStream(const ExportStream&) = delete;
    ExportStream& operator=(const ExportStream&) = delete;
};

// Closes the EDFlib handle on every path: an open handle holds memory and one of EDFlib's
// few file slots.
struct EdfHandle {
    int h = -1;
    ~EdfHandle() { Close(); }
    int Close() {
        const int r = h >= 0 ? edfclose_file(h) : 0;
        h = -1;
        return r;
    }
};

bool CheckWritten(const std::string& path, const std::vector<Signal>& signals,
                  int annotationSignals, std::int64_t records, int samplesPerRecord,
                  int bytesPerSample, int digitalMin, int digitalMax, std::string& error) {
    // The output file's own descriptor may be write-only.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "the file written cannot be read back";
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    const std::size_t ns = signals.size() + annotationSignals;
    std::string header(256 * (ns + 1), '\0');
    if (pread(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size())) {
        error = "the file was not written completely";
        return false;
    }
    auto field = [&](std::size_t at, std::size_t n) {
        return std::string_view(header).substr(at, n);
    };
    const auto nsField = ParseNumber(field(252, 4));
    const auto recordsField = ParseNumber(field(236, 8));
    const auto bytesField = ParseNumber(field(184, 8));
    struct stat st {};
    if (nsField != static_cast<double>(ns) || recordsField != static_cast<double>(records) ||
        bytesField != static_cast<double>(header.size()) || fstat(fd, &st) != 0) {
        error = "the file was not written completely";
        return false;
    }
    std::int64_t recordBytes = 0;
    for (std::size_t i = 0; i < ns; ++i) {
        const double spr = ParseNumber(field(256 + ns * 216 + i * 8, 8));
        if (!(spr >= 1 && spr <= 1e6)) {
            error = "the file was not written completely";
            return false;
        }
        recordBytes += static_cast<std::int64_t>(spr) * bytesPerSample;
        if (i >= signals.size()) continue;
        const Signal& s = signals[i];
        if (spr != samplesPerRecord || ParseNumber(field(256 + ns * 104 + i * 8, 8)) != s.physMin ||
            ParseNumber(field(256 + ns * 112 + i * 8, 8)) != s.physMax ||
            ParseNumber(field(256 + ns * 120 + i * 8, 8)) != digitalMin ||
            ParseNumber(field(256 + ns * 128 + i * 8, 8)) != digitalMax) {
            error = "EDFlib wrote the header of signal " + s.label + " other than asked";
            return false;
        }
    }
    if (st.st_size != static_cast<off_t>(header.size() + records * recordBytes)) {
        error = "the file was not written completely";
        return false;
    }
    return true;
}

} // namespace

bool WriteEdf(const RecordingStore& store, const std::vector<ExportEvent>& events, EdfKind kind,
              OutputFile& out, std::string& error) {
    error.clear();
    const std::int32_t n = store.DataCount;
    if (!out.IsOpen()) {
        error = out.Error().empty() ? "the output file is not open" : out.Error();
        return false;
    }
    if (n <= 0 || n > store.Capacity()) {
        error = "the recording holds no samples";
        return false;
    }
    if (store.ChCount < 1 || store.ChCount > 4) {
        error = "the recording has " + std::to_string(store.ChCount) + " channels (1 to 4)";
        return false;
    }
    if (store.Rate < 1 || store.Rate > 60000) {
        error = "the sample interval of " + std::to_string(store.Rate) +
                " ms cannot be written (1 to 60,000 ms)";
        return false;
    }
    for (const ExportEvent& e : events)
        if (e.first < 0 || e.last < e.first || e.last >= n) {
            error = "the event \"" + e.label + "\" lies outside the recording";
            return false;
        }

    DateTimeParts start{};
    try {
        start = DecodeDateTime(store.StartTime);
    } catch (const std::exception& e) {
        error = std::string("the start time cannot be written: ") + e.what();
        return false;
    }
    if (start.year < 1985 || start.year > 2084) {
        error = "EDF holds start dates from 1985 to 2084 only; this recording starts in " +
                std::to_string(start.year);
        return false;
    }

    // Whole samples in one-second records where the interval divides a second, else a record
    // per sample.
    const bool perSecond = 1000 % store.Rate == 0;
    const int spr = perSecond ? 1000 / store.Rate : 1;
    const std::int64_t records = (static_cast<std::int64_t>(n) + spr - 1) / spr;

    const bool bdf = kind == EdfKind::Bdf;
    const int digitalMin = bdf ? -8388608 : -32768;
    const int digitalMax = bdf ? 8388607 : 32767;

    std::vector<Signal> signals = Layout(store);
    const SampleRecord* const buf = store.SampleBuff.get();
    // One pass over the records (a signal at a time would read the whole store once per
    // signal): each signal's range, and the runs of samples that carry no value although
    // their status says measured (non-finite values, values too large for the format). The
    // status runs come with the events.
    std::vector<ExportEvent> all = events;
    std::vector<std::int32_t> runStart(signals.size(), -1);
    for (Signal& s : signals) s.lo = INFINITY, s.hi = -INFINITY;
    for (std::int32_t j = 0; j <= n; ++j)
        for (std::size_t i = 0; i < signals.size(); ++i) {
            Signal& s = signals[i];
            bool noValue = false;
            if (j < n) {
                const double v = PhysicalValue(buf[j], s);
                // NaN fails both comparisons.
                if (v < s.lo) s.lo = v;
                if (v > s.hi) s.hi = v;
                noValue = std::isnan(v) && Measured(buf[j], s);
            }
            if (noValue && runStart[i] < 0) runStart[i] = j;
            if (!noValue && runStart[i] >= 0) {
                all.push_back({s.label + " no value", runStart[i], j - 1});
                runStart[i] = -1;
            }
        }
    for (Signal& s : signals) {
        s.any = s.lo <= s.hi;
        if (!Frame(s, digitalMax - digitalMin)) {
            error = "the values of " + s.label + " cannot be framed in the header";
            return false;
        }
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const ExportEvent& a, const ExportEvent& b) { return a.first < b.first; });
    const std::int64_t slots = (static_cast<std::int64_t>(all.size()) + records - 1) / records;
    if (slots > kMaxAnnotationSignals) {
        error = "too many annotations (" + std::to_string(all.size()) + ") for " +
                std::to_string(records) + " data records";
        return false;
    }
    const int annotationSignals = std::max<int>(1, static_cast<int>(slots));

    const ExportStream stream(out.TemporaryPath()); // outlives the handle: closed first
    EdfHandle edf;
    const int nsig = static_cast<int>(signals.size());
    edf.h = edfopen_file_writeonly(out.TemporaryPath().c_str(),
                                   bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS, nsig);
    if (edf.h < 0) {
        error = "EDFlib could not open the file (error " + std::to_string(edf.h) + ")";
        return false;
    }
    auto refused = [&](const std::string& what) {
        error = "EDFlib refused " + what;
        return false;
    };
    for (int i = 0; i < nsig; ++i) {
        const Signal& s = signals[i];
        if (edf_set_samplefrequency(edf.h, i, spr) != 0) return refused("the sample rate");
        if (edf_set_digital_maximum(edf.h, i, digitalMax) != 0 ||
            edf_set_digital_minimum(edf.h, i, digitalMin) != 0)
            return refused("the digital range");
        // EDFlib prints these numbers by cutting off digits, not rounding: moved two units in
        // the last place away from zero, the value prints as the decimal text it came from.
        auto outward = [](double v) {
            if (v == 0) return 0.0;
            const double away = std::copysign(INFINITY, v);
            return std::nextafter(std::nextafter(v, away), away);
        };
        if (edf_set_physical_maximum(edf.h, i, outward(s.physMax)) != 0 ||
            edf_set_physical_minimum(edf.h, i, outward(s.physMin)) != 0)
            return refused("the physical range of " + s.label);
        if (edf_set_label(edf.h, i, s.label.c_str()) != 0 ||
            edf_set_physical_dimension(edf.h, i, s.unit.c_str()) != 0)
            return refused("the label of " + s.label);
    }
    if (!perSecond && edf_set_datarecord_duration(edf.h, store.Rate * 100) != 0)
        return refused("the record duration");
    if (edf_set_number_of_annotation_signals(edf.h, annotationSignals) != 0)
        return refused("the annotation signals");
    if (edf_set_startdatetime(edf.h, start.year, start.month, start.day, start.hour, start.minute,
                              start.second) != 0 ||
        edf_set_subsecond_starttime(edf.h, start.ms * 10000) != 0)
        return refused("the start time");
    if (edf_set_patientcode(edf.h, HeaderText(store.PatientID).c_str()) != 0 ||
        edf_set_patientname(edf.h, HeaderText(store.PatientName).c_str()) != 0 ||
        edf_set_equipment(edf.h, HeaderText(ModelTag(store)).c_str()) != 0 ||
        edf_set_recording_additional(edf.h, HeaderText(store.SerialNo).c_str()) != 0)
        return refused("the patient or recording fields");
    for (const ExportEvent& e : all) {
        const std::int64_t onset = static_cast<std::int64_t>(e.first) * store.Rate * 10;
        const std::int64_t duration =
            (static_cast<std::int64_t>(e.last) - e.first + 1) * store.Rate * 10;
        if (edfwrite_annotation_utf8(edf.h, onset, duration, EdfAnnotationText(e.label).c_str()) !=
            0)
            return refused("an annotation");
    }

    // One data record at a time, every signal's samples of it side by side.
    const std::size_t perRecord = static_cast<std::size_t>(nsig) * spr;
    std::vector<short> shorts(bdf ? 0 : perRecord);
    std::vector<unsigned char> triples(bdf ? perRecord * 3 : 0);
    for (std::int64_t r = 0; r < records; ++r) {
        const std::int64_t first = r * spr;
        const int inRecord = static_cast<int>(std::min<std::int64_t>(spr, n - first));
        for (int i = 0; i < nsig; ++i) {
            const Signal& s = signals[i];
            const std::size_t at = static_cast<std::size_t>(i) * spr;
            for (int k = 0; k < spr; ++k) {
                int d = digitalMin;
                if (k < inRecord) {
                    const double v = PhysicalValue(buf[first + k], s);
                    if (!std::isnan(v)) {
                        d = digitalMin +
                            static_cast<int>(std::lround((v - s.physMin) * s.inverseStep));
                        d = std::clamp(d, digitalMin + 1, digitalMax);
                    }
                }
                if (bdf) {
                    unsigned char* p = &triples[(at + k) * 3];
                    const auto u = static_cast<std::uint32_t>(d);
                    p[0] = static_cast<unsigned char>(u);
                    p[1] = static_cast<unsigned char>(u >> 8);
                    p[2] = static_cast<unsigned char>(u >> 16);
                } else {
                    shorts[at + k] = static_cast<short>(d);
                }
            }
        }
        const int written = bdf ? edf_blockwrite_digital_3byte_samples(edf.h, triples.data())
                                : edf_blockwrite_digital_short_samples(edf.h, shorts.data());
        if (written != 0) {
            error = "the file could not be written (data record " + std::to_string(r + 1) + " of " +
                    std::to_string(records) + ")";
            return false;
        }
    }
    if (edf.Close() != 0) {
        error = "the file could not be written to the end";
        return false;
    }
    // EDFlib writes through stdio and does not report every failed write, so the file is
    // checked against what was asked for: a write cut short leaves it shorter.
    return CheckWritten(out.TemporaryPath(), signals, annotationSignals, records, spr, bdf ? 3 : 2,
                        digitalMin, digitalMax, error);
}

} // namespace tesmora
