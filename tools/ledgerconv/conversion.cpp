#include "tools/ledgerconv/conversion.hpp"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "core/ascii.hpp"
#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/text_encoding.hpp"
#include "tools/ledgerconv/commit_record.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/file_name.hpp"
#include "tools/ledgerconv/ubl_writer.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::size_t kMaxProblemsLogged = 20;  // a binary file must not flood the log

// An export changed this recently may still be being written: the run looks
// at the exports, waits kSettleTime once, and passes over those that changed
// in between. Older exports are taken without the wait.
constexpr std::int64_t kRecentNs = 2'000'000'000;
constexpr auto kSettleTime = std::chrono::milliseconds(200);

// An export as the run first saw it.
struct Candidate {
  std::string path;
  core::FileVersion version;
};

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

std::string OutputName(const ConvertOptions& options, const Invoice& invoice) {
  return options.prefix + EscapedFileName(invoice.number) + "." + options.extension;
}

bool HasControlCharacter(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool SameContent(const std::string& a, const std::string& b) {
  std::string bytes_a, bytes_b;
  return core::ReadFileContent(a, bytes_a) && core::ReadFileContent(b, bytes_b) &&
         bytes_a == bytes_b;
}

// Renames an invoice's temporary file to its name.
bool PlaceOutput(const std::string& folder, const std::string& name, const ToolLog& log) {
  const std::string temporary = InFolder(folder, TemporaryName(name));
  const std::string target = InFolder(folder, name);
  if (!core::IsPlainFile(temporary)) return true;  // renamed before a crash
  bool taken = false;
  const core::FileResult renamed = core::RenameWithoutReplacing(temporary, target, taken);
  if (renamed) return true;
  if (taken && SameContent(temporary, target)) return bool(core::RemoveOneFile(temporary));
  log.Line(taken ? target + " is there with other content; the invoice waits in " + temporary +
                       " until that file is moved away"
                 : renamed.error);
  return false;
}

// Whether the export is still there as it was converted; a file of that
// name with other bytes is a new export and stays.
bool ExportUnchanged(const CommitRecord& record, const ToolLog& log) {
  std::string bytes;
  if (!core::IsPlainFile(record.export_path)) return false;
  const bool same =
      core::ReadFileContent(record.export_path, bytes) && Digest(bytes) == record.export_digest;
  if (!same) log.Line(record.export_path + " changed since its conversion; it stays");
  return same;
}

// Archives or deletes a converted export.
bool RetireExport(const CommitRecord& record, const ToolLog& log) {
  const std::string& path = record.export_path;
  if (!record.archive.empty()) {
    const core::MoveResult moved =
        core::MoveFileNumbered(path, InFolder(record.archive, core::FileNameOf(path)));
    log.Line(moved.moved ? "archived " + path + " to " + moved.target
                         : "could not archive " + path + ": " + moved.error);
    return moved.moved;
  }
  const core::FileResult deleted = core::DeleteFileIfListed(path);
  if (!deleted) log.Line("could not delete " + path + ": " + deleted.error);
  return bool(deleted);
}

// Places the invoices of a record, retires its export and removes the
// record; false when some of it is left for a later run.
bool FinishRecord(const std::string& folder, const CommitRecord& record, const ToolLog& log) {
  bool placed = true;
  for (const auto& name : record.outputs) placed = PlaceOutput(folder, name, log) && placed;
  if (!placed) return false;
  // Retired before a crash, or replaced by a new export of the same name.
  if (ExportUnchanged(record, log) && !RetireExport(record, log)) return false;
  const core::FileResult removed =
      core::RemoveOneFile(InFolder(folder, RecordName(record.export_path)));
  if (!removed) log.Line(removed.error);
  return bool(removed);
}

// Finishes the records of interrupted runs; the temporary files of those
// that stay unfinished go into `keep`. False when a record cannot be read:
// which temporary files it names is then unknown.
bool FinishInterrupted(const std::string& folder, const ToolLog& log, ConvertSummary& summary,
                       std::set<std::string>& keep) {
  bool readable = true;
  for (const auto& name : core::HiddenFileNames(folder)) {
    if (name.rfind(kRecordPrefix, 0) != 0) continue;
    const std::string path = InFolder(folder, name);
    std::string text;
    std::optional<CommitRecord> record;
    if (core::ReadFileContent(path, text)) record = ParseRecord(text);
    if (!record || RecordName(record->export_path) != name) {
      log.Line("cannot read " + path +
               ", the record of an interrupted conversion; it and the temporary invoices in " +
               folder + " stay until it is mended or removed");
      ++summary.kept;
      readable = false;
      continue;
    }
    log.Line("finishing the conversion of " + record->export_path + " that a run began");
    if (FinishRecord(folder, *record, log)) {
      summary.invoices += static_cast<int>(record->outputs.size());
      ++summary.exports;
    } else {
      log.Line("UNFINISHED " + record->export_path + ": its invoices wait in " + folder);
      for (const auto& output : record->outputs) keep.insert(TemporaryName(output));
      ++summary.kept;
    }
  }
  return readable;
}

void RemoveLeftovers(const std::string& folder, const std::set<std::string>& keep,
                     const ToolLog& log) {
  int removed = 0;
  for (const auto& name : core::HiddenFileNames(folder)) {
    if (!IsLeftoverName(name) || keep.count(name)) continue;
    if (const auto result = core::RemoveOneFile(InFolder(folder, name)); result) {
      ++removed;
    } else {
      log.Line(result.error);
    }
  }
  if (removed > 0) {
    log.Line("removed " + std::to_string(removed) + " temporary file(s) of an interrupted run");
  }
}

void LogProblems(const std::string& path, const ExportContent& content, const ToolLog& log) {
  for (std::size_t i = 0; i < content.problems.size() && i < kMaxProblemsLogged; ++i) {
    const ExportProblem& problem = content.problems[i];
    log.Line("MALFORMED " + path + ":" + std::to_string(problem.line) + ": " + problem.reason +
             (problem.invoice.empty() ? "" : " (invoice " + problem.invoice + ")"));
  }
  if (content.problems.size() > kMaxProblemsLogged) {
    log.Line("... and " + std::to_string(content.problems.size() - kMaxProblemsLogged) +
             " more malformed line(s) in " + path);
  }
}

// Whether every invoice gets a file name of its own that is still free.
bool NamesFree(const ConvertOptions& options, const std::string& path, const ExportContent& content,
               const ToolLog& log) {
  std::set<std::string> taken;  // as the file system compares names
  for (const auto& name : core::FolderFileNames(options.out_folder)) {
    taken.insert(core::UpperAscii(name));
  }
  std::set<std::string> outputs;
  bool free = true;
  for (const auto& invoice : content.invoices) {
    const std::string name = OutputName(options, invoice);
    const std::string out = InFolder(options.out_folder, name);
    std::string why;
    if (name.front() == '.') {
      why = " would have the hidden file name " + out;
    } else if (!outputs.insert(core::UpperAscii(name)).second) {
      why = " would have the file name " + out + " of another invoice in it";
    } else if (taken.count(core::UpperAscii(name))) {
      why = " was converted before: " + out + " is there";
    }
    if (!why.empty()) log.Line("invoice " + invoice.number + " of " + path + why);
    free = free && why.empty();
  }
  return free;
}

void RemoveTemporaries(const std::string& folder, const std::vector<std::string>& outputs) {
  for (const auto& name : outputs) {
    const std::string temporary = InFolder(folder, TemporaryName(name));
    if (core::IsPlainFile(temporary)) (void)core::RemoveOneFile(temporary);
  }
}

// Writes every invoice under its temporary name, then flushes them all at
// once: the commit record must never name an invoice the disk lacks.
bool WriteTemporaries(const ConvertOptions& options, const ExportContent& content,
                      const ToolLog& log, CommitRecord& record) {
  for (const auto& invoice : content.invoices) {
    const std::string name = OutputName(options, invoice);
    record.outputs.push_back(name);
    const std::string xml = UblInvoice(invoice);
    const core::FileResult saved =
        xml.empty() ? core::FileResult::Failed("invoice " + invoice.number + " has no XML form")
                    : core::WriteNewFile(InFolder(options.out_folder, TemporaryName(name)), xml);
    if (!saved) {
      log.Line(saved.error);
      RemoveTemporaries(options.out_folder, record.outputs);
      return false;
    }
  }
  if (const auto flushed = core::FlushFileSystem(options.out_folder); !flushed) {
    log.Line(flushed.error);
    RemoveTemporaries(options.out_folder, record.outputs);
    return false;
  }
  return true;
}

// Why an export cannot be converted now; "" when it can.
std::string Refusal(const ConvertOptions& options, const std::string& path,
                    const ExportContent& content, const ToolLog& log) {
  if (core::IsPlainFile(InFolder(options.out_folder, RecordName(path)))) {
    return "it waits for the unfinished conversion recorded in " +
           InFolder(options.out_folder, RecordName(path));
  }
  LogProblems(path, content, log);
  if (!content.problems.empty()) return "none of its invoices was written; mend it and run again";
  if (!NamesFree(options, path, content, log)) {
    return "none of its invoices was written; mend it and run again";
  }
  return "";
}

// Reads an export that stayed as it was first seen and that no other program
// has open for writing; false when it was kept.
bool ReadSettledExport(const Candidate& candidate, const ToolLog& log, std::string& bytes) {
  const std::string& path = candidate.path;
  core::FileVersion now;
  const auto read = core::ReadFileVersion(
      path, now, [](const core::FileVersion&) { return true; }, bytes);
  if (!read) {
    log.Line("KEPT " + path + ": " + read.error);
    return false;
  }
  if (now != candidate.version || bytes.size() != now.size || core::HeldOpenForWriting(path)) {
    log.Line(path + " is still being written; it stays for the next run");
    return false;
  }
  return true;
}

// Converts one export; returns how many invoices it wrote, or -1 when the
// export was kept or its conversion could not be finished.
int ConvertExport(const ConvertOptions& options, const ToolLog& log, const Candidate& candidate) {
  const std::string& path = candidate.path;
  if (HasControlCharacter(path)) {
    std::string shown = path;  // one log line stays one line
    for (char& c : shown) c = HasControlCharacter(std::string_view(&c, 1)) ? '?' : c;
    log.Line("KEPT " + shown + ": its name holds a control character; rename it");
    return -1;
  }
  std::string bytes;
  if (!ReadSettledExport(candidate, log, bytes)) return -1;
  const ExportContent content = ReadExport(core::AsUtf8(bytes));
  if (const std::string why = Refusal(options, path, content, log); !why.empty()) {
    log.Line("KEPT " + path + ": " + why);
    return -1;
  }
  CommitRecord record{path, Digest(bytes), options.archive, {}};
  if (!WriteTemporaries(options, content, log, record)) {
    log.Line("KEPT " + path + ": none of its invoices was written");
    return -1;
  }
  const std::string record_path = InFolder(options.out_folder, RecordName(path));
  if (const auto saved = core::WriteTextFile(record_path, RecordText(record), false); !saved) {
    log.Line(saved.error);
    RemoveTemporaries(options.out_folder, record.outputs);
    log.Line("KEPT " + path + ": none of its invoices was written");
    return -1;
  }
  for (const auto& invoice : content.invoices) {
    InvoiceTotals totals;
    const bool credit = ComputeTotals(invoice, totals) && IsCreditNote(totals);
    log.Line(std::string(credit ? "converted credit note " : "converted invoice ") +
             invoice.number + " (" + std::to_string(invoice.items.size()) + " line(s)) to " +
             InFolder(options.out_folder, OutputName(options, invoice)));
  }
  if (!FinishRecord(options.out_folder, record, log)) {
    log.Line("UNFINISHED " + path + ": the next run finishes its conversion");
    return -1;
  }
  return static_cast<int>(content.invoices.size());
}

// The exports the mask lists, each as it is now; when one of them changed
// lately, after kSettleTime, so that a writer has time to show itself.
std::vector<Candidate> LookAtExports(const ConvertOptions& options) {
  std::vector<Candidate> candidates;
  bool recent = false;
  const std::int64_t now = core::FileClockNow();
  for (std::string& path : core::ListedFiles(InFolder(options.folder, options.mask))) {
    Candidate candidate{std::move(path), {}};
    (void)core::ReadFileVersion(candidate.path, candidate.version);
    const auto& version = candidate.version;
    recent = recent || std::max(version.modified_ns, version.changed_ns) > now - kRecentNs;
    candidates.push_back(std::move(candidate));
  }
  if (recent) std::this_thread::sleep_for(kSettleTime);
  return candidates;
}

}  // namespace

ConvertSummary ConvertExports(const ConvertOptions& options, const ToolLog& log) {
  ConvertSummary summary;
  const core::FileLock lock(InFolder(options.out_folder, std::string(kLockName)));
  if (lock.state() != core::FileLock::State::kHeld) {
    log.Line(lock.state() == core::FileLock::State::kBusy
                 ? "another run converts into " + options.out_folder + "; nothing converted"
                 : lock.error() + "; nothing converted");
    ++summary.kept;
    return summary;
  }
  std::set<std::string> keep;
  if (FinishInterrupted(options.out_folder, log, summary, keep)) {
    RemoveLeftovers(options.out_folder, keep, log);
  }
  for (const Candidate& candidate : LookAtExports(options)) {
    const int written = ConvertExport(options, log, candidate);
    if (written < 0) {
      ++summary.kept;
    } else {
      summary.invoices += written;
      ++summary.exports;
    }
  }
  return summary;
}

}  // namespace wfdesk::tools
