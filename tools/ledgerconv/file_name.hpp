#pragma once

#include <string>
#include <string_view>

namespace wfdesk::tools {

// A text as part of a file name, one name per text: ASCII letters, digits
// and "-" stay, every other byte becomes "_" and its two hex digits
// ("2026.1" gives "2026_2E1", "A/1" "A_2F1", "A_1" "A_5F1"). The result holds
// no ".", so the part of a file name before its first dot still tells two
// texts apart. Texts that differ only in ASCII case still give names that a
// file system without case sees as one.
std::string EscapedFileName(std::string_view text);

}  // namespace wfdesk::tools
