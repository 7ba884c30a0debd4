#pragma once
// Text recordings, line by line: the line buffer, the line reader and the field splitter.

#include "recording/byte_source.h"
#include "recording/store.h"

#include <cstdint>
#include <string_view>

namespace tesmora {

/// The current line of a text recording and its fields.
struct LINE_BUFF_TYPE {
    static constexpr int MAX_LINE = 511; // bytes stored per line, the terminator not counted
    static constexpr int MAX_FIELDS = 100;

    // The line, then a zero byte; 15 bytes more let the split read the line 16 at a time.
    std::uint8_t buff[MAX_LINE + 1 + 15] = {};
    std::int32_t n = 0;                // bytes of the line
    std::int32_t cn = 0;               // index of the last field (commas counted, at most 99)
    std::int32_t ln = 0;               // line number in the file, 0 first; the load loop owns it
    std::int32_t pos[MAX_FIELDS] = {}; // start of field i in the line
    std::int32_t len[MAX_FIELDS] = {}; // length of field i
    std::string_view str;              // the line as text (set by the split)

    /// Field i, or an empty text for an index beyond the last field.
    std::string_view Field(int i) const {
        if (i < 0 || i > cn || i >= MAX_FIELDS) return {};
        return str.substr(static_cast<std::size_t>(pos[i]), static_cast<std::size_t>(len[i]));
    }
};

/// Reads the next line into buff, byte by byte: carriage returns dropped, a byte of 0x80 or
/// above and the byte after it stored as one "?". Returns the line's length when a line feed
/// ended it, -1 at the end of the file (or a read error) before a line feed, or once 511 bytes
/// are stored without one.
std::int32_t ReadLine(ByteSource& src, LINE_BUFF_TYPE& lb);

/// Splits the line at commas into pos, len and cn and sets str. At most 100 fields: field 99
/// ends at the 100th comma and the rest of the line is ignored.
void SplitLine(LINE_BUFF_TYPE& lb);

/// Splits the line, then parses it as the header line (ln 0) or hands it to the body parser of
/// the recording's model. 0 = line accepted, 1 = format error. Values that do not convert
/// throw ConvertError.
std::uint8_t GetColumn(LINE_BUFF_TYPE& lb, RecordingStore& store);

/// The header line: model, sample interval, serial number, patient fields.
std::uint8_t ParseHeaderLine(const LINE_BUFF_TYPE& lb, RecordingStore& store);

/// The body parsers of the three models, for lines 1 and later.
std::uint8_t GetColumn31(LINE_BUFF_TYPE& lb, RecordingStore& store);
std::uint8_t GetColumn48(LINE_BUFF_TYPE& lb, RecordingStore& store);
std::uint8_t GetColumn56(LINE_BUFF_TYPE& lb, RecordingStore& store);

} // namespace tesmora
