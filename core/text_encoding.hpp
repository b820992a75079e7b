#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wfdesk::core {

// Text of an INI file from its bytes: a UTF-8 byte-order mark is skipped, a
// file that starts with a UTF-16LE byte-order mark is turned into UTF-8, any
// other bytes pass through unchanged.
std::string IniTextFromFileBytes(std::string bytes);

// UTF-16LE code units (without byte-order mark) to UTF-8; broken surrogates
// become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

void AppendUtf8(std::string& out, char32_t code_point);
bool IsValidUtf8(std::string_view bytes);

// Windows-1252, the code page of files written on Windows. The five bytes
// the code page leaves free map to the C1 controls of the same value, as the
// platform maps them, so every byte goes there and back unchanged.
char16_t Windows1252ToUnicode(unsigned char byte);
std::optional<char> UnicodeToWindows1252(char16_t unit);

// UTF-8 text in Windows-1252: "?" for each character the code page lacks
// and for each byte that is no part of valid UTF-8.
std::string Utf8ToWindows1252(std::string_view utf8);

// Text from files that are UTF-8 or Windows-1252, as UTF-8: valid UTF-8
// stays (a byte-order mark is dropped), anything else is read as
// Windows-1252.
std::string AsUtf8(std::string_view bytes);

// The text as XML character data or attribute value: "&", "<", ">", '"'
// and "'" as entities, every other byte as it is.
std::string XmlEscape(std::string_view text);

}  // namespace wfdesk::core
