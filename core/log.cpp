#include "core/log.hpp"

#include <cstdio>

#include "core/language.hpp"
#include "core/platform/platform.hpp"

namespace wfdesk::core {

std::string FormatTimestamp(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string EscapeControlCharacters(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  // Runs without control characters, nearly every message whole, are
  // copied at once.
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte != 0x7F) continue;
    escaped.append(text, run, i - run);
    run = i + 1;
    if (byte == '\r') {
      escaped += "\\r";
    } else if (byte == '\n') {
      escaped += "\\n";
    } else if (byte == '\t') {
      escaped += "\\t";
    } else {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    }
  }
  escaped.append(text, run);
  return escaped;
}

std::string MaskAddressPassword(std::string_view address) {
  const auto scheme = address.find("://");
  const std::size_t authority = scheme == std::string_view::npos ? 0 : scheme + 3;
  const auto authority_end = address.find_first_of("/?#", authority);
  const std::string_view host_part = address.substr(authority, authority_end - authority);
  const auto at = host_part.rfind('@');
  if (at == std::string_view::npos) return std::string(address);
  // The user name stays; the password, or a lone token, does not.
  const auto colon = host_part.find(':');
  const std::size_t keep = colon < at ? colon + 1 : 0;
  std::string masked(address.substr(0, authority + keep));
  masked += "********";
  masked += address.substr(authority + at);
  return masked;
}

namespace {

std::string LogLine(const Clock& clock, std::string_view message) {
  std::string line = FormatTimestamp(clock.Now());
  line += "  ";
  line += EscapeControlCharacters(message);
  line += "\r\n";
  return line;
}

}  // namespace

FileResult WriteLogLine(const Clock& clock, const std::string& log_file, std::string_view message) {
  return LogWriter().Write(clock, log_file, message);
}

struct LogWriter::Held {
  platform::AppendingFile file;
  ~Held() { platform::CloseAppending(file); }
};

LogWriter::LogWriter() = default;
LogWriter::~LogWriter() = default;

void LogWriter::Release() {
  held_.reset();
}

FileResult LogWriter::Open(const std::string& log_file) {
  auto held = std::make_unique<Held>();
  FileResult opened = platform::OpenForAppending(log_file, held->file);
  if (opened) held_ = std::move(held);
  return opened;
}

FileResult LogWriter::Write(const Clock& clock, const std::string& log_file,
                            std::string_view message) {
  if (held_ && held_->file.path != log_file) Release();
  if (held_) {
    switch (platform::CheckAppending(held_->file)) {
      case platform::AppendingState::kHeld:
        break;
      case platform::AppendingState::kReadOnly:
        return FileResult::Failed(FormatLanguageText("lg_mesg_file003", kEnglish, {log_file}));
      case platform::AppendingState::kElsewhere:
        Release();
        break;
    }
  }
  if (!held_) {
    if (FileResult opened = Open(log_file); !opened) return opened;
  }
  FileResult written = platform::AppendRecord(held_->file, LogLine(clock, message));
  if (!written) Release();
  return written;
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
