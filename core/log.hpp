#pragma once

#include <string>
#include <string_view>

#include "core/result.hpp"
#include "core/seams.hpp"

namespace wfdesk::core {

// "yyyy-mm-dd hh:nn:ss".
std::string FormatTimestamp(const LocalTime& time);

// Appends time stamp, two blanks, the message and CR LF to the log file. The
// path is used as it stands. Control characters of the message are written
// escaped (see EscapeControlCharacters), so that one event stays one line
// whatever names or answers it quotes. The line is opened, written and closed in one
// call, so other programs may read the log at any moment.
FileResult WriteLogLine(const Clock& clock, const std::string& log_file, std::string_view message);

// The text with every control character (below 0x20, and 0x7F) written
// as "\r", "\n", "\t" or "\xHH"; other bytes stay as they are.
std::string EscapeControlCharacters(std::string_view text);

// A web address with the password of its user part ("user:password@"), or
// a lone token ("token@"), replaced by ********; an address without one
// comes back unchanged.
std::string MaskAddressPassword(std::string_view address);

// 8-4-4-4-12 upper-case hex digits of the bytes in the order they are given.
std::string FormatRunId(const GuidBytes& bytes);

// A new run id from the GUID source.
std::string CreateGUID(GuidSource& source);

}  // namespace wfdesk::core
