#include "core/log.hpp"

#include <algorithm>
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

namespace {

// One authority, "user:password@host:port": the password, or a lone token,
// goes; the user name stays. The last "@" ends the user information, as a
// password may hold one.
void AppendMaskedAuthority(std::string_view authority, std::string& masked) {
  const auto at = authority.rfind('@');
  if (at == std::string_view::npos) {
    masked.append(authority);
    return;
  }
  const auto colon = authority.find(':');
  const std::size_t keep = colon < at ? colon + 1 : 0;
  masked.append(authority.substr(0, keep));
  masked += "********";
  masked.append(authority.substr(at));
}

// Each "://" in a word begins an authority; a word without one begins with
// its authority, as a proxy is given ("user:password@proxy:3128").
void AppendMaskedWord(std::string_view word, std::string& masked) {
  auto scheme = word.find("://");
  std::size_t authority = scheme == std::string_view::npos ? 0 : scheme + 3;
  masked.append(word.substr(0, authority));
  for (;;) {
    const std::size_t end = std::min(word.find_first_of("/?#", authority), word.size());
    AppendMaskedAuthority(word.substr(authority, end - authority), masked);
    scheme = word.find("://", end);
    if (scheme == std::string_view::npos) {
      masked.append(word.substr(end));
      return;
    }
    masked.append(word.substr(end, scheme + 3 - end));
    authority = scheme + 3;
  }
}

}  // namespace

std::string MaskAddressPassword(std::string_view text) {
  // A blank or a quote ends an address.
  constexpr std::string_view kBetweenWords = "\"' \t\r\n";
  std::string masked;
  std::size_t done = 0;
  while (done < text.size()) {
    const std::size_t word = std::min(text.find_first_not_of(kBetweenWords, done), text.size());
    const std::size_t end = std::min(text.find_first_of(kBetweenWords, word), text.size());
    masked.append(text.substr(done, word - done));
    AppendMaskedWord(text.substr(word, end - word), masked);
    done = end;
  }
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
