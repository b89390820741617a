#pragma once

#include <array>
#include <string>
#include <string_view>

namespace salvorine {

// The characters of bytes 0x80..0xFF in a single-byte Windows code page.
// Bytes the code page leaves undefined hold U+FFFD.
using HighHalf = std::array<char16_t, 128>;

// The table of a code page we carry (874 and 1250..1258), or nullptr.
const HighHalf* FindCodePage(int code_page);

// One byte of text under `page`. Bytes below 0x80 are ASCII in every code
// page; high bytes of a code page we do not carry (nullptr) become U+FFFD.
inline char32_t DecodeByte(const HighHalf* page, unsigned char byte) {
  if (byte < 0x80) return byte;
  return page != nullptr ? (*page)[byte - 0x80u] : U'\uFFFD';
}

// `bytes` in `code_page`, as UTF-8.
std::string DecodeCodePage(int code_page, std::string_view bytes);

// The code page a font's \fcharset names, or 0 when it names none
// (default, symbol and OEM character sets follow the document).
int CodePageOfCharset(int charset);

// Appends `c` as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace salvorine
