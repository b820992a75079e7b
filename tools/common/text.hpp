#pragma once

#include <string>
#include <string_view>

namespace wfdesk::tools {

// Exports come as UTF-8 or, from Windows programs, as Windows-1252; this
// gives UTF-8 either way (a UTF-8 byte-order mark is dropped).
std::string ToUtf8(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

}  // namespace wfdesk::tools
