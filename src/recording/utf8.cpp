#include "recording/utf8.h"

#include <cstring>

namespace tesmora {

std::string DecodeUtf8Lossy(const std::uint8_t* b, std::size_t n) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(n);
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t c = b[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        // Length of the sequence and the allowed range of its second byte (Unicode table 3-7).
        std::size_t len = 0;
        std::uint8_t lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        }
        if (len == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t k = 1;
        while (k < len && i + k < n) {
            const std::uint8_t t = b[i + k];
            const bool ok = k == 1 ? (t >= lo && t <= hi) : (t >= 0x80 && t <= 0xBF);
            if (!ok) break;
            ++k;
        }
        if (k == len)
            out.append(reinterpret_cast<const char*>(b + i), len);
        else
            out += kReplacement;
        i += k;
    }
    return out;
}

std::string DecodeTextField(const std::uint8_t* field, std::size_t width) {
    const void* zero = std::memchr(field, 0, width);
    const std::size_t n =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : width;
    return DecodeUtf8Lossy(field, n);
}

} // namespace tesmora
