#pragma once

#include <string>

namespace wfdesk::core {

// Text of an INI file from its bytes: a UTF-8 byte-order mark is skipped, a
// file that starts with a UTF-16LE byte-order mark is turned into UTF-8, any
// other bytes pass through unchanged.
std::string IniTextFromFileBytes(std::string bytes);

// UTF-16LE code units (without byte-order mark) to UTF-8; broken surrogates
// become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

}  // namespace wfdesk::core
