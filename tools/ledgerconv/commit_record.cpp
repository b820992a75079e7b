#include "tools/ledgerconv/commit_record.hpp"

#include <cstdint>
#include <cstdio>

#include "core/files.hpp"
#include "tools/common/switches.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::string_view kExportKey = "export ";
constexpr std::string_view kDigestKey = "digest ";
constexpr std::string_view kArchiveKey = "archive ";
constexpr std::string_view kEndLine = "end";
constexpr std::size_t kHeadLines = 3;

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

}  // namespace

// One line each: the export's path, its digest, its archive, the invoice names, and
// "end", so that a cut record is never mistaken for a whole one.
std::string RecordText(const CommitRecord& record) {
  std::string text = std::string(kExportKey) + record.export_path + "\n";
  text += std::string(kDigestKey) + record.export_digest + "\n";
  text += std::string(kArchiveKey) + record.archive + "\n";
  for (const auto& output : record.outputs) text += output + "\n";
  return text + std::string(kEndLine) + "\n";
}

std::optional<CommitRecord> ParseRecord(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const auto end = text.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() <= kHeadLines || !StartsWith(lines[0], kExportKey) ||
      !StartsWith(lines[1], kDigestKey) || !StartsWith(lines[2], kArchiveKey) ||
      lines.back() != kEndLine) {
    return std::nullopt;
  }
  CommitRecord record;
  record.export_path = lines[0].substr(kExportKey.size());
  record.export_digest = lines[1].substr(kDigestKey.size());
  record.archive = lines[2].substr(kArchiveKey.size());
  for (std::size_t i = kHeadLines; i + 1 < lines.size(); ++i) record.outputs.emplace_back(lines[i]);
  return record;
}

std::string TemporaryName(const std::string& output_name) {
  return "." + output_name + std::string(kTemporarySuffix);
}

std::string RecordName(const std::string& export_path) {
  return std::string(kRecordPrefix) + SafeFileName(core::FileNameOf(export_path));
}

bool IsLeftoverName(std::string_view name) {
  // Core's atomic write puts "." before the name it writes.
  return name.find(kTemporarySuffix) != std::string_view::npos ||
         StartsWith(name, "." + std::string(kRecordPrefix));
}

std::string Digest(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace wfdesk::tools
