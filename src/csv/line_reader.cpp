#include "csv/line_buffer.h"
#include "recording/simd.h"

#include <cstring>

namespace tesmora {

std::int32_t ReadLine(ByteSource& src, LINE_BUFF_TYPE& lb) {
    // Byte by byte, as the format is defined, but over the buffered bytes directly.
    std::int32_t result = -1;
    std::int32_t n = 0;
    bool pendingLead = false;
    std::uint8_t* const out = lb.buff;
    bool ended = false;
    while (!ended && n < LINE_BUFF_TYPE::MAX_LINE) {
        const auto [bytes, available] = src.Peek();
        if (available == 0) break; // end of the file, or a read error
        std::size_t i = 0;
        while (i < available && n < LINE_BUFF_TYPE::MAX_LINE) {
#if TESMORA_SSE2
            // Sixteen plain bytes at a time: none of them a line feed, a carriage return or a
            // byte of 0x80 or above, and no lead byte waiting. They are stored as they are.
            if (!pendingLead && available - i >= 16 && n + 16 <= LINE_BUFF_TYPE::MAX_LINE) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
                const int special = _mm_movemask_epi8(v) |
                                    _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))) |
                                    _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
                if (special == 0) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), v);
                    n += 16;
                    i += 16;
                    continue;
                }
            }
#endif
            const std::uint8_t byte = bytes[i++];
            if (pendingLead) {
                // The trail byte of a two-byte character, whatever it is, even a line feed.
                out[n++] = '?';
                pendingLead = false;
            } else if (byte >= 0x80) {
                pendingLead = true;
            } else if (byte == '\n') {
                result = n;
                ended = true;
                break;
            } else if (byte != '\r') {
                out[n++] = byte;
            }
        }
        src.Consume(i);
    }
    lb.n = n;
    out[n] = 0;
    return result;
}

void SplitLine(LINE_BUFF_TYPE& lb) {
    const std::int32_t n = lb.n;
    std::int32_t cn = 0;
    lb.pos[0] = 0;
    bool full = false;
    auto comma = [&](std::int32_t i) {
        lb.len[cn] = i - lb.pos[cn];
        if (cn == LINE_BUFF_TYPE::MAX_FIELDS - 1) {
            full = true; // the 100th comma ends field 99 and the line's fields
            return;
        }
        lb.pos[++cn] = i + 1;
    };
#if TESMORA_SSE2
    // Sixteen bytes at a time; bytes past the line's end are masked off.
    for (std::int32_t i = 0; i < n && !full; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lb.buff + i));
        unsigned commas =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(','))));
        if (n - i < 16) commas &= (1u << (n - i)) - 1;
        while (commas != 0 && !full) {
            comma(i + __builtin_ctz(commas));
            commas &= commas - 1;
        }
    }
#else
    for (std::int32_t i = 0; i < n && !full; ++i)
        if (lb.buff[i] == ',') comma(i);
#endif
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
