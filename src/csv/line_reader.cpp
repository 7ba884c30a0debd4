#include "csv/line_buffer.h"

namespace tesmora {

std::int32_t ReadLine(ByteSource& src, LINE_BUFF_TYPE& lb) {
    std::int32_t result = -1;
    std::int32_t n = 0;
    bool pendingLead = false;
    std::uint8_t byte = 0;
    while (n < LINE_BUFF_TYPE::MAX_LINE && src.ReadByte(byte)) {
        if (pendingLead) {
            // The trail byte of a two-byte character, whatever it is, even a line feed.
            lb.buff[n++] = '?';
            pendingLead = false;
        } else if (byte >= 0x80) {
            pendingLead = true;
        } else if (byte == '\n') {
            result = n;
            break;
        } else if (byte != '\r') {
            lb.buff[n++] = byte;
        }
    }
    lb.n = n;
    lb.buff[n] = 0;
    return result;
}

void SplitLine(LINE_BUFF_TYPE& lb) {
    const std::int32_t n = lb.n;
    std::int32_t cn = 0;
    lb.pos[0] = 0;
    bool full = false;
    for (std::int32_t i = 0; i < n; ++i) {
        if (lb.buff[i] != ',') continue;
        lb.len[cn] = i - lb.pos[cn];
        if (cn == LINE_BUFF_TYPE::MAX_FIELDS - 1) {
            full = true; // the 100th comma ends field 99 and the line's fields
            break;
        }
        lb.pos[++cn] = i + 1;
    }
    if (!full) lb.len[cn] = n - lb.pos[cn];
    lb.cn = cn;
    lb.str = std::string_view(reinterpret_cast<const char*>(lb.buff), static_cast<std::size_t>(n));
}

std::uint8_t GetColumn(LINE_BUFF_TYPE& lb, RecordingStore& store) {
    if (lb.n == 0) return 1;
    SplitLine(lb);
    if (lb.ln == 0) return ParseHeaderLine(lb, store);
    switch (store.DataType) {
    case 1:
        return GetColumn31(lb, store);
    case 3:
        return GetColumn48(lb, store);
    case 4:
        return GetColumn56(lb, store);
    default:
        return 1;
    }
}

} // namespace tesmora
