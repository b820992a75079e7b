#include "core/log.hpp"

#include <cstdio>

#include "core/files.hpp"

namespace wfdesk::core {

std::string FormatTimestamp(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

FileResult WriteLogLine(const Clock& clock, const std::string& log_file, std::string_view message) {
  std::string line = FormatTimestamp(clock.Now());
  line += "  ";
  line += message;
  line += "\r\n";
  return WriteTextFile(log_file, line, true);
}

std::string FormatRunId(const GuidBytes& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string id;
  id.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    id += kHex[bytes[i] >> 4];
    id += kHex[bytes[i] & 0x0F];
    if (i == 3 || i == 5 || i == 7 || i == 9) id += '-';
  }
  return id;
}

std::string CreateGUID(GuidSource& source) {
  return FormatRunId(source.NewGuid());
}

}  // namespace wfdesk::core
