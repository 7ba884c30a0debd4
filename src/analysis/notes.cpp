#include "analysis/notes.h"

#include "recording/byte_sink.h"
#include "recording/byte_source.h"
#include "recording/datetime.h"
#include "recording/utf8.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tesmora {
namespace {

constexpr const char* kFormat = "tesmora-notes";
constexpr int kVersion = 1;

using Json = nlohmann::json;

Json Identity(const RecordingIdentity& id) {
    return {{"serialNo", id.serialNo},
            {"startTime", id.startTime},
            {"dataCount", id.dataCount},
            {"rateMs", id.rate}};
}

} // namespace

RecordingIdentity IdentityOf(const RecordingStore& store) {
    return {store.SerialNo, FormatDateTime(store.StartTime), store.DataCount, store.Rate};
}

std::string NotesPath(std::string_view recordingPath) {
    return std::string(recordingPath) + ".notes.json";
}

std::string CleanNoteText(std::string_view text) {
    const std::string valid =
        DecodeUtf8Lossy(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::string out;
    int characters = 0;
    for (std::size_t i = 0; i < valid.size() && characters < NOTE_MAX_LENGTH;) {
        const auto c = static_cast<unsigned char>(valid[i]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (c < 0x20 || c == 0x7F)
            out += "\xEF\xBF\xBD"; // a control character, a line break too: never interpreted
        else
            out.append(valid, i, length);
        i += length;
        ++characters;
    }
    return out;
}

NotesRead ReadNotes(const std::string& sidecarPath, const RecordingIdentity& id) {
    NotesRead r;
    InputFile file(sidecarPath);
    if (!file.IsOpen()) return r; // none: a recording without notes
    std::string text;
    ByteSource src(file.Descriptor());
    char chunk[4096];
    for (std::size_t got; (got = src.Read(chunk, sizeof chunk)) > 0;) {
        text.append(chunk, got);
        if (text.size() > SIDECAR_MAX_BYTES) {
            r.status = NotesRead::Status::Ignored;
            r.why = "is larger than 1 MB";
            return r;
        }
    }
    r.status = NotesRead::Status::Ignored;
    // Hand-edited files may hold bytes that are not UTF-8: they become U+FFFD, so that the
    // rest of the file still reads.
    const std::string valid =
        DecodeUtf8Lossy(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    const Json doc = Json::parse(valid, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        r.why = "is not a notes file";
        return r;
    }
    if (doc.value("format", std::string()) != kFormat || !doc.contains("version") ||
        !doc["version"].is_number_integer() || doc["version"].get<std::int64_t>() != kVersion) {
        r.why = "is of an unknown version";
        return r;
    }
    if (!doc.contains("recording") || doc["recording"] != Identity(id)) {
        r.why = "belongs to another recording";
        return r;
    }
    const Json notes = doc.value("notes", Json::array());
    if (!notes.is_array()) {
        r.why = "is not a notes file";
        return r;
    }
    for (const Json& n : notes) {
        if (!n.is_object() || !n.contains("index") || !n["index"].is_number_integer() ||
            !n.contains("text") || !n["text"].is_string())
            continue;
        const std::int64_t index = n["index"].get<std::int64_t>();
        if (index < 0 || index >= id.dataCount) continue; // beyond the recording
        Note note;
        note.index = static_cast<std::int32_t>(index);
        note.elapsedMs = index * std::int64_t{id.rate};
        note.text = CleanNoteText(n["text"].get<std::string>());
        r.notes.push_back(std::move(note));
    }
    std::stable_sort(r.notes.begin(), r.notes.end(),
                     [](const Note& a, const Note& b) { return a.index < b.index; });
    r.status = NotesRead::Status::Loaded;
    return r;
}

std::string NotesJson(const RecordingIdentity& id, const std::vector<Note>& notes) {
    Json list = Json::array();
    for (const Note& n : notes)
        list.push_back({{"elapsedMs", n.elapsedMs}, {"index", n.index}, {"text", n.text}});
    const Json doc = {
        {"format", kFormat}, {"version", kVersion}, {"recording", Identity(id)}, {"notes", list}};
    // Invalid UTF-8 cannot reach here (texts are cleaned), but it must never stop a save.
    return doc.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool WriteNotes(const std::string& sidecarPath, const RecordingIdentity& id,
                const std::vector<Note>& notes, std::string& error) {
    OutputFile out(sidecarPath, true);
    if (!out.IsOpen()) {
        error = out.Error();
        return false;
    }
    ByteSink sink(out.Descriptor());
    sink.Write(NotesJson(id, notes));
    if (!sink.Flush()) {
        error = SystemErrorText(sink.Error());
        return false;
    }
    if (!out.Commit()) {
        error = out.Error();
        return false;
    }
    return true;
}

} // namespace tesmora
