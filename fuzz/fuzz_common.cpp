#include "fuzz_common.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tesmora::fuzz {

namespace {

std::int32_t CapacityFromEnvironment() {
    const char* text = std::getenv("FUZZ_CAPACITY");
    if (text == nullptr || *text == '\0') return kFuzzCapacity;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < 1 || n > SAMPLE_CAPACITY) {
        std::fprintf(stderr, "FUZZ_CAPACITY must be 1 to %d records\n", SAMPLE_CAPACITY);
        std::exit(2);
    }
    return static_cast<std::int32_t>(n);
}

} // namespace

std::int32_t Capacity() {
    static const std::int32_t capacity = CapacityFromEnvironment();
    return capacity;
}

RecordingStore& Store() {
    static RecordingStore* store = new RecordingStore(Capacity()); // lives for the run
    return *store;
}

void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

long ViewSource::ReadSystem(void* dst, std::size_t n) {
    const std::size_t take = std::min({n, kChunk, bytes_.size() - at_});
    std::memcpy(dst, bytes_.data() + at_, take);
    at_ += take;
    return static_cast<long>(take);
}

long StringSink::WriteSystem(const void* data, std::size_t n) {
    out_.append(static_cast<const char*>(data), n);
    return static_cast<long>(n);
}

LoadOutcome LoadBytes(RecordingStore& store, const std::uint8_t* data, std::size_t size,
                      bool binary) {
    ViewSource src({reinterpret_cast<const char*>(data), size});
    return LoadFromSource(store, src, FormatFor(binary ? "x.lqd" : "x.csv"));
}

namespace {

bool Failed(const LoadOutcome& outcome) {
    if (outcome.error) return true;
    for (LoadMessage m : outcome.messages)
        if (m == LoadMessage::DataFormatError || m == LoadMessage::OverFourChannels) return true;
    return false;
}

bool ReachedCapacity(const RecordingStore& store, const LoadOutcome& outcome) {
    for (LoadMessage m : outcome.messages)
        if (m == LoadMessage::StoreFull) return true;
    return store.Full();
}

// Bitwise, so that NaNs compare as well.
bool Same(const void* a, const void* b, std::size_t n) {
    return std::memcmp(a, b, n) == 0;
}

// The fields a reader writes; the others keep what an earlier load left there.
bool SameRecord(const SampleRecord& a, const SampleRecord& b, const RecordingStore& store) {
    if (!Same(&a.Time, &b.Time, sizeof a.Time) || a.Seq != b.Seq) return false;
    if (store.DataType == 4 && !Same(&a.Batt, &b.Batt, sizeof a.Batt)) return false;
    for (int c = 0; c < std::clamp(store.ChCount, 0, 4); ++c) {
        const ChannelData &x = a.Ch[c], &y = b.Ch[c];
        if (x.Status != y.Status || !Same(&x.OXHb, &y.OXHb, 4 * sizeof(float))) return false;
        if (store.DataType == 3 && c == 0 && !Same(&x.Temp, &y.Temp, sizeof x.Temp)) return false;
    }
    return true;
}

// FNV-1a: which inputs are also read at the viewer's capacity, the same ones on every run.
std::uint32_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

} // namespace

RecordingStore* LoadForWriter(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return nullptr;
    const bool binary = data[0] & 1;
    RecordingStore& store = Store();
    const LoadOutcome outcome = LoadBytes(store, data + 1, size - 1, binary);
    CheckLoad(store, outcome, binary);
    return store.DataCount == 0 || store.DataCount > 20000 ? nullptr : &store;
}

void CheckLoad(const RecordingStore& store, const LoadOutcome& outcome, bool binary) {
    if (store.DataCount < 0 || store.DataCount > store.Capacity()) Fail("DataCount out of range");
    const bool failed = Failed(outcome);
    if (failed && store.DataCount != 0) Fail("a failed load shows samples");
    // "Unable to read anymore." with room left would mean records were dropped for nothing.
    if (ReachedCapacity(store, outcome) && !failed && !store.Full())
        Fail("store reported full before its capacity");
    if (binary) return;
    const std::uint16_t defined = STS_P | STS_E | STS_NOCODE | STS_FILLED;
    for (std::int32_t j = 0; j < store.DataCount; ++j)
        for (int c = 0; c < store.ChCount && c < 4; ++c)
            if (store.SampleBuff[j].Ch[c].Status & ~defined) Fail("undefined status bits");
}

void LoadAndCheck(const std::uint8_t* data, std::size_t size, bool binary) {
    RecordingStore& small = Store();
    const LoadOutcome outcome = LoadBytes(small, data, size, binary);
    CheckLoad(small, outcome, binary);
    // A store that never filled up saw nothing of its capacity: a larger one would hold the same.
    if (!ReachedCapacity(small, outcome) || small.Capacity() >= SAMPLE_CAPACITY) return;
    // Most go to a store four times as large, which costs little more; a few to the viewer's.
    static RecordingStore* larger =
        new RecordingStore(std::min(4 * small.Capacity(), SAMPLE_CAPACITY));
    static RecordingStore* viewers = new RecordingStore(SAMPLE_CAPACITY);
    RecordingStore* const large = Hash(data, size) % kFullSizeShare == 0 ? viewers : larger;
    const LoadOutcome again = LoadBytes(*large, data, size, binary);
    CheckLoad(*large, again, binary);
    // The small store stopped where it was full; the large one reads on from there. Up to
    // that point the two loads are one: what failed fails, and the records are the same.
    if (Failed(outcome)) {
        if (!Failed(again)) Fail("a load that failed in a small store succeeds in a large one");
        return;
    }
    if (Failed(again)) return; // something after the small store's end
    if (large->DataCount < small.DataCount) Fail("a larger store holds fewer records");
    if (large->DataType != small.DataType || large->ChCount != small.ChCount ||
        large->Rate != small.Rate || large->SerialNo != small.SerialNo ||
        large->PatientID != small.PatientID || large->PatientName != small.PatientName ||
        !Same(&large->StartTime, &small.StartTime, sizeof small.StartTime))
        Fail("the header depends on the store's capacity");
    for (std::int32_t j = 0; j < small.DataCount; ++j)
        if (!SameRecord(small.SampleBuff[j], large->SampleBuff[j], small))
            Fail("a full store's records differ from a larger store's");
}

namespace {

// A small recursive-descent check of one JSON value.
struct Json {
    std::string_view s;
    std::size_t i = 0;
    int depth = 0;
    void Space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    }
    bool Literal(std::string_view w) {
        if (s.substr(i, w.size()) != w) return false;
        i += w.size();
        return true;
    }
    bool String() {
        if (i >= s.size() || s[i] != '"') return false;
        for (++i; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                if (++i >= s.size()) return false;
                if (s[i] == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (++i >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[i])))
                            return false;
                } else if (std::string_view("\"\\/bfnrt").find(s[i]) == std::string_view::npos) {
                    return false;
                }
            }
        }
        return false;
    }
    bool Number() {
        const std::size_t start = i;
        if (i < s.size() && s[i] == '-') ++i;
        std::size_t digits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
        if (digits == 0) return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        }
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
            ++i;
            if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
            if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        }
        return i > start;
    }
    bool Value() {
        if (++depth > 16) return false;
        Space();
        bool ok;
        if (i >= s.size()) return false;
        if (s[i] == '{') {
            ++i;
            Space();
            ok = true;
            if (i < s.size() && s[i] == '}') {
                ++i;
            } else {
                for (;;) {
                    Space();
                    if (!String()) return false;
                    Space();
                    if (i >= s.size() || s[i++] != ':') return false;
                    if (!Value()) return false;
                    Space();
                    if (i < s.size() && s[i] == ',') {
                        ++i;
                        continue;
                    }
                    if (i < s.size() && s[i] == '}') {
                        ++i;
                        break;
                    }
                    return false;
                }
            }
        } else if (s[i] == '[') {
            ++i;
            Space();
            ok = true;
            if (i < s.size() && s[i] == ']') {
                ++i;
            } else {
                for (;;) {
                    if (!Value()) return false;
                    Space();
                    if (i < s.size() && s[i] == ',') {
                        ++i;
                        continue;
                    }
                    if (i < s.size() && s[i] == ']') {
                        ++i;
                        break;
                    }
                    return false;
                }
            }
        } else if (s[i] == '"') {
            ok = String();
        } else if (s[i] == 'n') {
            ok = Literal("null");
        } else {
            ok = Number();
        }
        --depth;
        return ok;
    }
};

} // namespace

bool JsonLinesWellFormed(std::string_view text, std::size_t lines) {
    std::size_t start = 0;
    for (; start < text.size(); --lines) {
        if (lines == 0) return false;
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return false; // every line ends with a line feed
        const std::string_view line = text.substr(start, end - start);
        Json j{line};
        if (line.empty() || line[0] != '{' || !j.Value()) return false;
        j.Space();
        if (j.i != line.size()) return false;
        start = end + 1;
    }
    return lines == 0;
}

} // namespace tesmora::fuzz
