#pragma once

#include <memory>
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
// whatever names or answers it quotes. The file is opened, written and
// closed in one call, for a program that writes a line now and then.
FileResult WriteLogLine(const Clock& clock, const std::string& log_file, std::string_view message);

// Writes the lines WriteLogLine writes, for a run that writes many: the log
// stays open from one line to the next, as long as the lines go to the same
// path, and is opened again after a line that failed. Each line goes to the
// end of the file with a single write, so a crash never leaves part of a
// line, and other programs appending to the log at the same time (module
// programs, other runs) interleave whole lines only.
// Before each line the writer makes sure that the path still names the open
// file: a log deleted or moved away (rotated) since the last line is made
// anew, and a log made read-only is refused, as by WriteLogLine.
// While the log is open, others may read, append to, rename and delete it,
// on Windows too (where no other file can take its name until it is
// closed); Release, or the end of the writer, closes it. Not for use by two
// threads at once.
class LogWriter {
 public:
  LogWriter();
  ~LogWriter();
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  FileResult Write(const Clock& clock, const std::string& log_file, std::string_view message);
  void Release();

 private:
  // The open log: it has a type of the platform layer, private to core.
  struct Held;
  FileResult Open(const std::string& log_file);

  std::unique_ptr<Held> held_;
};

// The text with every control character (below 0x20, and 0x7F) written
// as "\r", "\n", "\t" or "\xHH"; other bytes stay as they are.
std::string EscapeControlCharacters(std::string_view text);

// The text with the password of every web address in it ("user:password@"
// after "scheme://", or at the start of a word, as a proxy is given), or a
// lone token ("token@"), replaced by ********; the user name and the rest
// of the text stay. A single address is such a text too.
std::string MaskAddressPassword(std::string_view text);

// 8-4-4-4-12 upper-case hex digits of the bytes in the order they are given.
std::string FormatRunId(const GuidBytes& bytes);

// A new run id from the GUID source.
std::string CreateGUID(GuidSource& source);

}  // namespace wfdesk::core
