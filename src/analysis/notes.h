#pragma once
// Notes on samples of a recording, kept in a sidecar file beside it (RECORDING.notes.json),
// so that the recording itself is never written.

#include "recording/store.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

inline constexpr int NOTE_MAX_LENGTH = 200; // characters of a note's one line
inline constexpr std::size_t SIDECAR_MAX_BYTES = 1 << 20;

/// A note: where it lies (elapsed milliseconds and sample index) and its text (UTF-8).
struct Note {
    std::int64_t elapsedMs = 0;
    std::int32_t index = 0;
    std::string text;
    bool operator==(const Note&) const = default;
};

/// The recording a sidecar belongs to.
struct RecordingIdentity {
    std::string serialNo;
    std::string startTime; // "yyyy/mm/dd hh:nn:ss"
    std::int32_t dataCount = 0;
    std::int32_t rate = 0;
};

/// The identity of the recording in a store.
RecordingIdentity IdentityOf(const RecordingStore& store);

/// The sidecar's path for a recording's path.
std::string NotesPath(std::string_view recordingPath);

/// A note's text as the program keeps it: one line of at most NOTE_MAX_LENGTH characters,
/// valid UTF-8, control characters replaced by U+FFFD.
std::string CleanNoteText(std::string_view text);

/// What reading a sidecar found.
struct NotesRead {
    enum class Status { Missing, Loaded, Ignored };
    Status status = Status::Missing;
    std::vector<Note> notes; // Loaded: in the order of their samples
    std::string why;         // Ignored: the reason, for the status bar
};

/// Reads the sidecar of the recording `id`. A sidecar that is not valid JSON, has an unknown
/// version, is larger than SIDECAR_MAX_BYTES or belongs to another recording is ignored (and
/// must then never be overwritten). Notes beyond the recording are left out.
NotesRead ReadNotes(const std::string& sidecarPath, const RecordingIdentity& id);

/// The sidecar's text for the notes of recording `id`.
std::string NotesJson(const RecordingIdentity& id, const std::vector<Note>& notes);

/// Writes the sidecar atomically (a temporary file renamed into place). False, with the
/// system's reason, when it could not be written.
bool WriteNotes(const std::string& sidecarPath, const RecordingIdentity& id,
                const std::vector<Note>& notes, std::string& error);

} // namespace tesmora
