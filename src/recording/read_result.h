#pragma once

namespace tesmora {

/// How a reader's pass over a recording ended.
enum class ReadResult {
    Success,     // the whole file is in the store
    FormatError, // not a recording, or cut short where the format does not allow it
    StoreFull,   // the store filled up; the records read so far are kept
};

} // namespace tesmora
