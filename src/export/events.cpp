#include "export/events.h"

#include <algorithm>

namespace tesmora {
namespace {

// The bits of a status its event label tells (an error with its code, or "P"), 0 for none:
// a run is the samples of one kind.
int StatusKind(std::uint16_t status) {
    if ((status & STS_E) != 0) return STS_E | (status & STS_CODE_MASK);
    return status & STS_P;
}

// A kind's label after the channel's name.
std::string KindLabel(int kind) {
    if ((kind & STS_E) == 0) return "P";
    std::string label = "E";
    if (const int code = kind & STS_CODE_MASK; code != 0) label += std::to_string(code);
    return label;
}

} // namespace

std::vector<ExportEvent> RecordingEvents(const RecordingStore& store,
                                         const std::vector<Note>& notes,
                                         std::optional<std::int32_t> markerA,
                                         std::optional<std::int32_t> markerB) {
    std::vector<ExportEvent> events;
    const std::int32_t n = store.DataCount;
    const SampleRecord* const buf = store.SampleBuff.get();
    const int channels = std::clamp(store.ChCount, 0, 4);
    for (int c = 0; c < channels; ++c) {
        const std::string name = "CH" + std::to_string(c + 1) + " ";
        for (std::int32_t j = 0; j < n;) {
            const int kind = StatusKind(buf[j].Ch[c].Status);
            std::int32_t k = j + 1;
            while (k < n && StatusKind(buf[k].Ch[c].Status) == kind) ++k;
            if (kind != 0) {
                ExportEvent& e = events.emplace_back(ExportEvent{name, j, k - 1});
                e.label += KindLabel(kind);
            }
            j = k;
        }
    }
    for (std::int32_t j = 0; j < n;) {
        const bool replaced = (buf[j].Ch[0].Status & STS_FILLED) != 0;
        std::int32_t k = j + 1;
        while (k < n && ((buf[k].Ch[0].Status & STS_FILLED) != 0) == replaced) ++k;
        if (replaced) events.push_back({"Replaced", j, k - 1});
        j = k;
    }
    for (const Note& note : notes)
        if (note.index >= 0 && note.index < n)
            events.push_back({note.text, note.index, note.index});
    if (markerA && *markerA >= 0 && *markerA < n)
        events.push_back({"Marker A", *markerA, *markerA});
    if (markerB && *markerB >= 0 && *markerB < n)
        events.push_back({"Marker B", *markerB, *markerB});
    std::stable_sort(events.begin(), events.end(),
                     [](const ExportEvent& a, const ExportEvent& b) { return a.first < b.first; });
    return events;
}

std::string ModelTag(const RecordingStore& store) {
    switch (store.DataType) {
    case 1:
        return "MV31";
    case 3:
        return "Pc48";
    case 4:
        return "Pc56";
    default:
        return {};
    }
}

} // namespace tesmora
