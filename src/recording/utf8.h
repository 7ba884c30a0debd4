#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tesmora {

/// Decodes UTF-8 bytes into a valid UTF-8 string: each maximal ill-formed subsequence becomes
/// one U+FFFD, as the Unicode standard recommends.
std::string DecodeUtf8Lossy(const std::uint8_t* bytes, std::size_t n);

/// A fixed-width text field: the bytes up to the first zero byte (or all of them), decoded.
std::string DecodeTextField(const std::uint8_t* field, std::size_t width);

} // namespace tesmora
