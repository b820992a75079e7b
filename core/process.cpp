#include "core/process.hpp"

#include "core/platform/platform.hpp"

namespace wfdesk::core {

std::string CommandLine::Render() const {
  std::string text = "\"" + program + "\"";
  for (const auto& argument : arguments) {
    text += ' ';
    if (argument.quoted) {
      text += '"' + argument.text + '"';
    } else {
      text += argument.text;
    }
  }
  return text;
}

ProcessResult RunAndWait(const CommandLine& command) {
  return platform::SpawnAndWait(command);
}

void StopRunsOnSignals() {
  platform::CatchStopSignals();
}

bool StopRequested() {
  return platform::CaughtStopSignal() != 0;
}

int StopSignal() {
  return platform::CaughtStopSignal();
}

namespace {

template <typename Char>
std::basic_string<Char> QuotedArgument(std::basic_string_view<Char> text) {
  constexpr Char kQuote = '"';
  constexpr Char kBackslash = '\\';
  constexpr Char kSpecial[] = {' ', '\t', '\n', '\v', kQuote, 0};
  if (!text.empty() && text.find_first_of(kSpecial) == std::basic_string_view<Char>::npos) {
    return std::basic_string<Char>(text);
  }
  std::basic_string<Char> out(1, kQuote);
  std::size_t backslashes = 0;
  for (const Char c : text) {
    if (c == kBackslash) {
      ++backslashes;
      continue;
    }
    // Backslashes count only in front of a quote: doubled there, and one
    // more makes the quote a character.
    out.append(c == kQuote ? backslashes * 2 + 1 : backslashes, kBackslash);
    backslashes = 0;
    out += c;
  }
  // The closing quote follows: the backslashes before it are doubled.
  out.append(backslashes * 2, kBackslash);
  return out + kQuote;
}

}  // namespace

std::string QuoteWindowsArgument(std::string_view text) {
  return QuotedArgument(text);
}

std::wstring QuoteWindowsArgument(std::wstring_view text) {
  return QuotedArgument(text);
}

}  // namespace wfdesk::core
