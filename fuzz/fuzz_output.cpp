// Whatever loads is written as JSON Lines and as a text recording: the JSON parses, and the
// text recording loads again.

#include "convert/jsonl.h"
#include "csv/csv_writer.h"
#include "fuzz_common.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace tesmora;

// Records one interval apart throughout: nothing for the text loop to fill in.
bool EvenlySpaced(const RecordingStore& s) {
    for (std::int32_t j = 1; j < s.DataCount; ++j)
        if (std::llround((s.SampleBuff[j].Time - s.SampleBuff[j - 1].Time) * 86400000.0) != s.Rate)
            return false;
    return true;
}

std::size_t LongestLine(std::string_view text) {
    std::size_t longest = 0, start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    return longest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingStore* const loaded = fuzz::LoadForWriter(data, size);
    if (loaded == nullptr) return 0;
    RecordingStore& store = *loaded;

    static std::string jsonBytes, csvBytes;
    fuzz::StringSink json(jsonBytes);
    WriteJsonLines(store, json);
    if (!json.Flush()) fuzz::Fail("the JSON writer failed");
    // The header, then a line for every record.
    if (!fuzz::JsonLinesWellFormed(jsonBytes, static_cast<std::size_t>(store.DataCount) + 1))
        fuzz::Fail("JSON Lines do not parse");

    if (!CanWriteCsv(store)) return 0;
    fuzz::StringSink csv(csvBytes);
    if (!WriteCsvRecording(store, csv) || !csv.Flush()) fuzz::Fail("the writer failed");
    // Lines of 511 characters or more end a text recording: huge values written in full are
    // that long, and the text format has no shorter form for them.
    if (LongestLine(csvBytes) >= 511) return 0;
    const std::int32_t count = store.DataCount;
    // The text loop fills in gaps between rows; the writer writes replacement rows as plain
    // ones (the mark is not part of the format), whose times then count for the gap test: a
    // replacement near midnight can come back with a day of fillers. Else the count is kept.
    bool replaced = false;
    for (std::int32_t j = 0; j < count && !replaced; ++j)
        replaced = store.SampleBuff[j].Ch[0].Status & STS_FILLED;
    const bool binary = data[0] & 1; // read by the binary reader
    const bool even = binary ? (store.DataType == 4 || EvenlySpaced(store)) : !replaced;
    // As large as the first: the rows written all fit, and no more fillers than they make.
    static RecordingStore* back = new RecordingStore(store.Capacity());
    fuzz::ViewSource src(csvBytes);
    const LoadOutcome again = LoadFromSource(*back, src, FormatFor("x.csv"));
    if (again.error || (!again.messages.empty() && again.messages[0] != LoadMessage::StoreFull))
        fuzz::Fail("the text recording written does not load");
    if (even ? back->DataCount != count : back->DataCount < count)
        fuzz::Fail("the text recording written loads with another number of samples");
    return 0;
}
