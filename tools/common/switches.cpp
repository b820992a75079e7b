#include "tools/common/switches.hpp"

#include <iostream>

#include "core/log.hpp"
#include "core/seams.hpp"

namespace wfdesk::tools {

std::optional<Switches> Switches::Parse(int argc, char** argv, const std::set<std::string>& known,
                                        std::string& error) {
  Switches switches;
  for (int i = 1; i < argc; i += 2) {
    const std::string name = argv[i];
    if (!known.count(name)) {
      error = "unknown switch " + name;
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      error = "the switch " + name + " has no value";
      return std::nullopt;
    }
    switches.values_[name] = argv[i + 1];
  }
  return switches;
}

std::string Switches::Get(const std::string& name, const std::string& fallback) const {
  const auto found = values_.find(name);
  return found == values_.end() ? fallback : found->second;
}

void ToolLog::Hide(std::string secret) {
  if (!secret.empty()) secrets_.push_back(std::move(secret));
}

void ToolLog::Line(const std::string& message) const {
  std::string text = message;
  for (const std::string& secret : secrets_) {
    for (auto at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + std::string_view(kHiddenText).size())) {
      text.replace(at, secret.size(), kHiddenText);
    }
  }
  // The log writer escapes control characters itself.
  const std::string line = program_ + ": " + core::MaskAddressPassword(text);
  if (path_.empty() || !core::WriteLogLine(core::SystemClock(), path_, line)) {
    std::cerr << core::EscapeControlCharacters(line) << '\n';
  }
}

std::string SafeFileName(const std::string& text) {
  std::string name = text;
  for (char& c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_';
    if (!safe) c = '_';
  }
  return name;
}

}  // namespace wfdesk::tools
