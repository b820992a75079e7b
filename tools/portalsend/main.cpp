// mod_portalsend001_x86_32: uploads invoices to the e-invoicing portal.
//
//   -cp URL     the portal             -cun NAME / -cpw WORD  its credentials
//   -f DIR      invoices to upload     -ifm MASK  which files (all when not given)
//   -coa FILE   the SOAP template      -m NAME    the portal operation
//   -fp DIR     folder for the requests as sent, with extension -fe
//   -lp DIR     folder for the portal's answers, extension -le ("xml")
//   -kp DIR     folder for acknowledgements: prefix -kx, extension -ke
//               ("ack"), state -ks ("accepted")
//   -ap DIR     archive for uploaded invoices
//   -exp FILE   curl to use (else curl on the PATH)
//   -sf TEXT    the sender, put into the template
//   -lf FILE    log file
//   -cto SECONDS  time to wait for the connection (10)
//   -tto SECONDS  time for one whole upload (60)
//
// The request is the template as XML (see request.hpp): {{OPERATION}},
// {{SENDER}} and {{FILENAME}} become their values, {{INVOICE}} the invoice;
// an invoice that is not well-formed XML stays where it is.
// An invoice the portal accepted (see answer.hpp), or had accepted before,
// leaves the input folder (to the archive, else deleted), so it is sent
// once; one that was refused or could not be sent stays for the next run.
// It counts as done only once its acknowledgement (with -kp) and its
// transmission record (see records.hpp) are written; until then it stays.
// The next run completes them from the record ("kept", with the portal's
// acknowledgement), or, when there is none, through its upload, which the
// portal answers with the earlier acknowledgement. An invoice the
// transmission database records as accepted is not sent again: the same
// invoice is put away as an accepted one, a changed one under its number
// stays.
// Invoices go out in batches of up to kBatchSize, one after the other over
// one connection (see upload.hpp); each answer is judged, and its
// acknowledgement written, as it comes. Then one update of the transmission
// database records the batch, and only then are its accepted invoices put
// away: acknowledgements reach the disk before the records that vouch for
// them, and records before the invoices leave.
// One connector at a time works on an input folder; another one keeps
// everything for its next run.
// Once the portal cannot be reached, or drops the connection, the remaining
// invoices stay without being tried, so a portal that is down costs one
// time-out, not one per invoice. Requests, answers and acknowledgements never overwrite earlier
// ones: a taken name gets a number. The password and the credentials of a
// web address never reach the log. Exit status: 0 when every invoice was
// accepted, 75 when some stay for the next run, 2 for a wrong command line.
#include <algorithm>
#include <iostream>
#include <set>

#include "core/ascii.hpp"
#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/log.hpp"
#include "core/process.hpp"
#include "tools/common/switches.hpp"
#include "tools/portalsend/answer.hpp"
#include "tools/portalsend/invoice_facts.hpp"
#include "tools/portalsend/records.hpp"
#include "tools/portalsend/request.hpp"
#include "tools/portalsend/upload.hpp"

namespace {

using namespace wfdesk;

constexpr const char* kProgram = "portalsend";
constexpr int kLongestTimeOut = 86400;
// Held on the input folder while a connector works on it.
constexpr const char* kLockName = ".portalsend-lock";
// Invoices uploaded through one curl and recorded in one update: enough to
// spread the cost of starting curl and of writing the database thin, few
// enough to keep little undone when a run is killed midway.
constexpr std::size_t kBatchSize = 100;

std::string BaseOf(const std::string& name) {
  return name.substr(0, name.find('.'));
}

// What became of one invoice; one on its way is counted once its batch is
// settled.
enum class Sent { kAccepted, kSentBefore, kKept, kOnItsWay };

struct Tally {
  std::size_t uploaded = 0, before = 0, kept = 0;
  std::size_t untried = 0;  // kept without trying, the portal being out of reach

  void Add(Sent sent) {
    if (sent == Sent::kAccepted) ++uploaded;
    if (sent == Sent::kSentBefore) ++before;
    if (sent == Sent::kKept) ++kept;
  }
};

// An invoice known by its facts.
struct Invoice {
  std::string path;
  tools::InvoiceFacts facts;
};

// An invoice whose request waits for the portal's answer.
struct Posting {
  Invoice invoice;
  std::string output;       // where the request goes once the portal answered
  std::string pending;      // the request until then
  std::string answer_file;  // the answer until it is judged
  bool ended = false;       // its upload ended, well or not
};

// An invoice with a verdict, waiting for its record.
struct Judged {
  Invoice invoice;
  tools::Verdict verdict;
  bool acknowledged = false;
};

// Invoices on their way together. No two share an invoice number, so that
// an invoice is checked against the records of the ones before it, nor a
// request name, under which they wait.
struct Batch {
  std::vector<Posting> postings;
  std::vector<Judged> judged;
  std::set<std::string> numbers, requests;
  std::size_t taken = 0;

  bool Fits(const Invoice& invoice, const std::string& request) const {
    return taken == 0 || (!numbers.contains(invoice.facts.number) &&
                          !requests.contains(core::LowerAscii(request)));
  }
  void Take(const Invoice& invoice, const std::string& request) {
    if (!invoice.facts.number.empty()) numbers.insert(invoice.facts.number);
    requests.insert(core::LowerAscii(request));
    ++taken;
  }
};

struct Sender {
  const tools::Switches& s;
  const tools::ToolLog& log;
  tools::TransmissionBook& book;
  std::string template_text;  // prepared, see PrepareTemplate
  tools::Uploader& uploader;

  std::size_t Gather(const std::vector<std::string>& paths, std::size_t next, Batch& batch,
                     Tally& tally) const;
  bool Post(Batch& batch, Tally& tally) const;
  void Settle(Batch& batch, Tally& tally) const;

 private:
  bool Take(const std::string& path, Batch& batch, Tally& tally) const;
  bool Load(const std::string& path, Invoice& invoice, tools::XmlDoc& document) const;
  Sent Prepare(const Invoice& invoice, xmlDoc* document, Batch& batch) const;
  std::string Output(const std::string& path) const;
  Sent Repeat(const Invoice& invoice, const textdb::EarlierUpload& earlier, Batch& batch) const;
  bool PostRound(std::vector<Posting*>& waiting, Batch& batch, Tally& tally,
                 tools::BatchEnd& end) const;
  Sent Judge(Posting& posting, const tools::UploadResult& result, Batch& batch) const;
  void KeepAnswer(const std::string& base, const std::string& answer_file) const;
  bool Acknowledge(const std::string& path, const tools::Verdict& verdict) const;
  void FlushAcknowledgements(Batch& batch) const;
  textdb::TransmissionRecord Record(const Judged& judged) const;
  Sent Conclude(const Judged& judged, bool recorded) const;
  bool PutAway(const std::string& path) const;
};

// Moves a finished file to its place; a name that is taken gets a number,
// so an earlier record is never overwritten. False when it could not.
bool Place(const std::string& file, const std::string& target, const tools::ToolLog& log) {
  const core::MoveResult moved = core::MoveFileNumbered(file, target);
  if (!moved.moved) {
    log.Line("could not keep " + target + ": " + moved.error);
    std::remove(file.c_str());
  }
  return moved.moved;
}

// Writes a file that is flushed later, with others, in place of what a
// killed run left under its name.
core::FileResult WriteUnflushed(const std::string& path, const std::string& text) {
  (void)core::RemoveOneFile(path);
  return core::WriteNewFile(path, text);
}

void Sender::KeepAnswer(const std::string& base, const std::string& answer_file) const {
  // curl writes no file for an empty answer.
  if (!s.Has("-lp") || !core::IsPlainFile(answer_file)) {
    std::remove(answer_file.c_str());
    return;
  }
  Place(answer_file, s.Get("-lp") + "/" + base + "." + s.Get("-le", "xml"), log);
}

// One field a line: every value is one line of text, so no value (a file
// name with a line break, say) can add a field of its own. False when the
// acknowledgement could not be kept. It reaches the disk with the batch's
// others (FlushAcknowledgements).
bool Sender::Acknowledge(const std::string& path, const tools::Verdict& verdict) const {
  if (!s.Has("-kp")) return true;
  const std::string file = s.Get("-kp") + "/" + s.Get("-kx") + BaseOf(core::FileNameOf(path)) +
                           "." + s.Get("-ke", "ack");
  const bool before = verdict.outcome == tools::Outcome::kUploadedBefore;
  const std::string text = "invoice=" + verdict.invoice_number +
                           "\r\nacknowledgement=" + verdict.acknowledgement +
                           "\r\nstate=" + core::EscapeControlCharacters(s.Get("-ks", "accepted")) +
                           (before ? "\r\nuploaded_before=yes" : "") +
                           "\r\nfile=" + core::EscapeControlCharacters(core::FileNameOf(path)) +
                           "\r\ntime=" + core::FormatTimestamp(core::SystemClock().Now()) + "\r\n";
  const std::string pending = file + ".sending";
  if (const auto saved = WriteUnflushed(pending, text); !saved) {
    log.Line("could not write the acknowledgement " + file + ": " + saved.error);
    std::remove(pending.c_str());
    return false;
  }
  return Place(pending, file, log);
}

// The batch's acknowledgements on the disk, at once, before any record
// says they were written; those that may not be count as not written.
void Sender::FlushAcknowledgements(Batch& batch) const {
  const bool any = std::any_of(batch.judged.begin(), batch.judged.end(),
                               [](const Judged& judged) { return judged.acknowledged; });
  if (!any || !s.Has("-kp")) return;
  if (const core::FileResult flushed = core::FlushFileSystem(s.Get("-kp")); !flushed) {
    log.Line("could not flush the acknowledgements in " + s.Get("-kp") + ": " + flushed.error);
    for (Judged& judged : batch.judged) judged.acknowledged = false;
  }
}

// An uploaded invoice leaves the input folder, so it is sent once: to the
// archive, else deleted, else (a read-only file, say) hidden from the next
// run under a name beginning with ".".
bool Sender::PutAway(const std::string& path) const {
  if (s.Has("-ap")) {
    const auto moved = core::MoveFileNumbered(path, s.Get("-ap") + "/" + core::FileNameOf(path));
    if (moved.moved) {
      log.Line("archived " + path + " to " + moved.target);
      return true;
    }
    log.Line("could not archive " + path + ": " + moved.error);
  } else if (const auto deleted = core::DeleteFileIfListed(path); deleted) {
    return true;
  } else {
    log.Line("could not delete " + path + ": " + deleted.error);
  }
  const std::string hidden = s.Get("-f") + "/." + core::FileNameOf(path) + ".sent";
  const auto moved = core::MoveFileNumbered(path, hidden);
  if (moved.moved) {
    log.Line("moved " + path + " aside to " + moved.target + " so that it is not sent again");
    return true;
  }
  log.Line("WARNING " + path + " was uploaded but stays in place: the next run sends it again");
  return false;
}

// The record of this upload; the invoice number as the portal named it
// when the document names none.
textdb::TransmissionRecord Sender::Record(const Judged& judged) const {
  tools::InvoiceFacts facts = judged.invoice.facts;
  if (facts.number.empty()) facts.number = judged.verdict.invoice_number;
  textdb::TransmissionRecord record;
  record.number = facts.number;
  record.file_name = core::FileNameOf(judged.invoice.path);
  record.description = textdb::RecordDescription(facts.credit_note, facts.number, facts.buyer);
  record.acknowledgement = judged.verdict.acknowledgement;
  record.currency = facts.currency;
  record.date = facts.date;
  record.amount = facts.amount;
  record.state = judged.verdict.outcome == tools::Outcome::kRefused ? textdb::kStateRefused
                 : judged.acknowledged                              ? textdb::kStateAccepted
                                                                    : textdb::kStateKept;
  return record;
}

// An accepted invoice is done once its acknowledgement and its record are
// written; then it is put away.
Sent Sender::Conclude(const Judged& judged, bool recorded) const {
  const std::string& path = judged.invoice.path;
  const tools::Verdict& verdict = judged.verdict;
  if (verdict.outcome == tools::Outcome::kRefused) return Sent::kKept;
  const std::string as =
      " as invoice " + verdict.invoice_number + ", acknowledgement " + verdict.acknowledgement;
  if (!judged.acknowledged || !recorded) {
    log.Line("the portal accepted " + path + as + ", but it is kept for the next run until its " +
             (judged.acknowledged ? "transmission record" : "acknowledgement") + " is written");
    return Sent::kKept;
  }
  if (verdict.outcome == tools::Outcome::kUploadedBefore) {
    log.Line("the portal had accepted " + path + " before" + as + "; put away as accepted");
  } else {
    log.Line("uploaded " + path + as);
  }
  return PutAway(path) ? Sent::kAccepted : Sent::kKept;
}

// Whether the portal accepted the number before: the record says so with
// its acknowledgement, or keeps the acknowledgement while ours waits to be
// written. An operator who clears the acknowledgement (or deletes the
// record) in the window has the invoice sent again.
bool Accepted(const textdb::EarlierUpload& earlier) {
  return (earlier.state == textdb::kStateAccepted || earlier.state == textdb::kStateKept) &&
         !earlier.acknowledgement.empty();
}

// An invoice under an accepted number is the same one again when it asks
// for the same amount on the same date.
bool SameInvoice(const textdb::EarlierUpload& earlier, const tools::InvoiceFacts& facts) {
  return earlier.amount == facts.amount && earlier.currency == facts.currency &&
         earlier.date == facts.date;
}

std::string Summary(const std::string& amount, const std::string& currency,
                    const std::string& date) {
  return amount + " " + currency + " of " + date;
}

bool Sender::Load(const std::string& path, Invoice& invoice, tools::XmlDoc& document) const {
  std::string bytes, error;
  invoice.path = path;
  if (const auto read = core::ReadFileContent(path, bytes); !read) {
    error = read.error;
  } else if ((document = tools::ParseInvoice(bytes, error))) {
    invoice.facts = tools::ReadInvoiceFacts(document.get());
  }
  if (!error.empty()) log.Line("FAILED " + path + ": " + error + "; kept for the next run");
  return error.empty();
}

// Where the request of the invoice is kept once sent.
std::string Sender::Output(const std::string& path) const {
  return s.Get("-fp") + "/" + BaseOf(core::FileNameOf(path)) + "." + s.Get("-fe");
}

// Takes the invoice into the batch, or returns false when it does not fit
// there and must wait for the next one.
bool Sender::Take(const std::string& path, Batch& batch, Tally& tally) const {
  Invoice invoice;
  tools::XmlDoc document;
  if (!Load(path, invoice, document)) {
    tally.Add(Sent::kKept);
    return true;
  }
  const std::string output = Output(path);
  if (!batch.Fits(invoice, output)) return false;
  batch.Take(invoice, output);
  const textdb::EarlierUpload* earlier = book.Earlier(invoice.facts.number);
  tally.Add(earlier && Accepted(*earlier) ? Repeat(invoice, *earlier, batch)
                                          : Prepare(invoice, document.get(), batch));
  return true;
}

std::size_t Sender::Gather(const std::vector<std::string>& paths, std::size_t next, Batch& batch,
                           Tally& tally) const {
  while (next < paths.size() && batch.taken < kBatchSize && Take(paths[next], batch, tally)) {
    ++next;
  }
  return next;
}

// An invoice whose number the database records as accepted is not sent
// again: the same one is put away as uploaded (acknowledged first when
// that was left undone, and recorded with the batch), a changed one stays.
Sent Sender::Repeat(const Invoice& invoice, const textdb::EarlierUpload& earlier,
                    Batch& batch) const {
  const std::string as = "invoice " + invoice.facts.number + " (" + invoice.path +
                         ") was accepted before, acknowledgement " + earlier.acknowledgement;
  if (SameInvoice(earlier, invoice.facts) && earlier.state == textdb::kStateKept) {
    log.Line(as + ", but was not acknowledged here; it is now, without sending it again");
    const tools::Verdict verdict{tools::Outcome::kUploadedBefore, earlier.acknowledgement,
                                 core::EscapeControlCharacters(invoice.facts.number), ""};
    batch.judged.push_back({invoice, verdict, Acknowledge(invoice.path, verdict)});
    return Sent::kOnItsWay;
  }
  if (SameInvoice(earlier, invoice.facts)) {
    log.Line(as + "; not sent again");
    return PutAway(invoice.path) ? Sent::kSentBefore : Sent::kKept;
  }
  log.Line("KEPT " + as + ", as " + Summary(earlier.amount, earlier.currency, earlier.date) +
           "; now it reads " +
           Summary(invoice.facts.amount, invoice.facts.currency, invoice.facts.date) +
           ". To send it again, clear the acknowledgement of its transmission record or delete "
           "the record");
  return Sent::kKept;
}

// The request written under its waiting name, and the invoice into the
// batch's uploads; kKept when it cannot go.
Sent Sender::Prepare(const Invoice& invoice, xmlDoc* document, Batch& batch) const {
  const std::string& path = invoice.path;
  std::string error;
  const tools::RequestValues values{s.Get("-m"), s.Get("-sf"), core::FileNameOf(path)};
  const std::string request = tools::BuildRequest(template_text, values, document, error);
  if (!error.empty()) {
    log.Line("FAILED " + path + ": " + error + "; kept for the next run");
    return Sent::kKept;
  }
  // The request and the answer wait under names of their own until the
  // portal has answered; only then do they take their places.
  const std::string output = Output(path);
  Posting posting{invoice, output, output + ".sending", output + ".answer"};
  if (const auto saved = WriteUnflushed(posting.pending, request); !saved) {
    log.Line("FAILED " + path + ": " + saved.error + "; kept for the next run");
    return Sent::kKept;
  }
  (void)core::RemoveOneFile(posting.answer_file);
  batch.postings.push_back(std::move(posting));
  return Sent::kOnItsWay;
}

// An upload that ended: the answer judged and kept, the request put in its
// place and the acknowledgement written; recorded later, with the batch.
// kKept for an upload that failed.
Sent Sender::Judge(Posting& posting, const tools::UploadResult& result, Batch& batch) const {
  const std::string& path = posting.invoice.path;
  if (!result.ran || result.status != 0) {
    log.Line("FAILED " + path + ": the upload to " + s.Get("-cp") + " failed (" +
             (result.error.empty() ? "curl exit " + std::to_string(result.status) : result.error) +
             "); kept for the next run");
    std::remove(posting.pending.c_str());
    std::remove(posting.answer_file.c_str());
    return Sent::kKept;
  }
  std::string answer;
  (void)core::ReadFileContent(posting.answer_file, answer);
  KeepAnswer(BaseOf(core::FileNameOf(path)), posting.answer_file);
  const tools::Verdict verdict = tools::JudgeAnswer(result.http_status, answer);
  if (verdict.outcome == tools::Outcome::kRefused) {
    std::remove(posting.pending.c_str());
    log.Line("REFUSED " + path + ": " + verdict.reason + "; kept for the next run");
    batch.judged.push_back({posting.invoice, verdict, false});
    return Sent::kOnItsWay;
  }
  Place(posting.pending, posting.output, log);
  batch.judged.push_back({posting.invoice, verdict, Acknowledge(path, verdict)});
  return Sent::kOnItsWay;
}

// Uploads the waiting invoices, judging each answer as it comes. The
// uploads behind one that failed go in a round of their own; false once
// the portal cannot be reached.
bool Sender::PostRound(std::vector<Posting*>& waiting, Batch& batch, Tally& tally,
                       tools::BatchEnd& end) const {
  std::vector<tools::Transfer> transfers;
  for (const Posting* posting : waiting) {
    transfers.push_back({posting->pending, posting->answer_file});
  }
  bool reachable = true;
  end = uploader.Post(transfers, [&](std::size_t index, const tools::UploadResult& result) {
    Posting& posting = *waiting[index];
    posting.ended = true;
    tally.Add(Judge(posting, result, batch));
    reachable = reachable && !result.unreachable;
    return reachable;
  });
  const std::size_t before = waiting.size();
  std::erase_if(waiting, [](const Posting* posting) { return posting->ended; });
  if (waiting.size() == before && end.error.empty()) end.error = "no upload was made";
  return reachable && !end.unreachable;
}

// Uploads the batch. False once the portal cannot be reached: the uploads
// not made then count as untried.
bool Sender::Post(Batch& batch, Tally& tally) const {
  std::vector<Posting*> waiting;
  for (Posting& posting : batch.postings) waiting.push_back(&posting);
  tools::BatchEnd end;
  bool reachable = true;
  while (reachable && end.error.empty() && !waiting.empty()) {
    reachable = PostRound(waiting, batch, tally, end);
  }
  // Uploads left without a result when curl failed: the first failed with
  // it; the others did too, unless the portal is out of reach, when they
  // were never tried.
  bool first = true;
  for (const Posting* posting : waiting) {
    std::remove(posting->pending.c_str());
    std::remove(posting->answer_file.c_str());
    if (!end.error.empty() && (first || !end.unreachable)) {
      log.Line("FAILED " + posting->invoice.path + ": the upload to " + s.Get("-cp") + " failed (" +
               end.error + "); kept for the next run");
      tally.Add(Sent::kKept);
    } else {
      ++tally.untried;
    }
    first = false;
  }
  return reachable;
}

// Records the batch's verdicts in one update of the database, once their
// acknowledgements are on the disk, and then puts the accepted invoices
// away.
void Sender::Settle(Batch& batch, Tally& tally) const {
  FlushAcknowledgements(batch);
  std::vector<textdb::TransmissionRecord> records;
  for (const Judged& judged : batch.judged) records.push_back(Record(judged));
  const bool recorded = book.Write(records);
  for (const Judged& judged : batch.judged) tally.Add(Conclude(judged, recorded));
}

int SendAll(const Sender& sender, const std::vector<std::string>& paths) {
  Tally tally;
  std::size_t next = 0;
  bool reachable = true;
  while (reachable && next < paths.size()) {
    Batch batch;
    next = sender.Gather(paths, next, batch, tally);
    reachable = sender.Post(batch, tally);
    sender.Settle(batch, tally);
  }
  tally.untried += paths.size() - next;
  if (tally.untried > 0) {
    sender.log.Line("the portal cannot be reached; " + std::to_string(tally.untried) +
                    " more invoice(s) kept for the next run without trying");
    tally.kept += tally.untried;
  }
  sender.log.Line("uploaded " + std::to_string(tally.uploaded) + " invoice(s); " +
                  std::to_string(tally.kept) + " kept for the next run" +
                  (tally.before
                       ? "; " + std::to_string(tally.before) + " accepted before, not sent again"
                       : ""));
  // Success only when every invoice is accounted for as sent.
  return tally.uploaded + tally.before == paths.size() ? 0 : core::kExitKeptForNextRun;
}

// A time-out in whole seconds from 1 to a day; curl reads 0 as "no limit".
bool ReadSeconds(const tools::Switches& switches, const char* name, int& seconds) {
  if (!switches.Has(name)) return true;
  const std::string text = switches.Get(name);
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  seconds = std::stoi(text);
  return seconds >= 1 && seconds <= kLongestTimeOut;
}

// Everything stays for the next run, for the reason given.
int KeepAll(const tools::ToolLog& log, const std::string& why) {
  log.Line(why + "; every invoice kept for the next run");
  return core::kExitKeptForNextRun;
}

struct Limits {
  int connect_seconds = 10;
  int total_seconds = 60;
};

// The switches checked, and the template prepared; false (said in the log)
// for a wrong command line.
bool CheckSwitches(const tools::Switches& s, const tools::ToolLog& log, Limits& limits,
                   std::string& prepared) {
  if (!ReadSeconds(s, "-cto", limits.connect_seconds) ||
      !ReadSeconds(s, "-tto", limits.total_seconds)) {
    log.Line("the time-outs (-cto, -tto) are whole seconds from 1 to " +
             std::to_string(kLongestTimeOut));
    return false;
  }
  std::string text, error;
  if (s.Get("-cp").empty() || !core::DirExists(s.Get("-f")) || !core::DirExists(s.Get("-fp")) ||
      !core::ReadFileContent(s.Get("-coa"), text)) {
    log.Line(
        "needs a portal address (-cp), an existing invoice folder (-f), an existing output "
        "folder (-fp) and a readable template (-coa)");
    return false;
  }
  prepared = tools::PrepareTemplate(text, s.Get("-m"), error);
  if (!error.empty()) log.Line(s.Get("-coa") + ": " + error + "; nothing uploaded");
  return error.empty();
}

// The invoices of the input folder; on Windows the lock file is no hidden
// file, so it is passed over by name.
std::vector<std::string> InvoicePaths(const tools::Switches& s) {
  std::vector<std::string> paths = core::ListedFiles(s.Get("-f") + "/" + s.Get("-ifm", "*"));
  std::erase_if(paths, [](const std::string& path) { return core::FileNameOf(path) == kLockName; });
  return paths;
}

int Run(const tools::Switches& s, const tools::ToolLog& log) {
  Limits limits;
  std::string prepared;
  if (!CheckSwitches(s, log, limits, prepared)) return 2;
  // Two connectors on one folder would post every invoice twice.
  const core::FileLock lock(s.Get("-f") + "/" + kLockName);
  if (lock.state() == core::FileLock::State::kBusy) {
    return KeepAll(log, "another connector uploads from " + s.Get("-f"));
  }
  if (lock.state() == core::FileLock::State::kFailed) return KeepAll(log, lock.error());
  tools::TransmissionBook book(log);
  if (!book.readable()) return KeepAll(log, "earlier uploads cannot be looked up");
  tools::Upload upload{s.Get("-exp", "curl"), s.Get("-cp"), s.Get("-cun"), s.Get("-cpw"),
                       s.Get("-m")};
  upload.connect_seconds = limits.connect_seconds;
  upload.total_seconds = limits.total_seconds;
  tools::Uploader uploader(upload);
  const Sender sender{s, log, book, prepared, uploader};
  return SendAll(sender, InvoicePaths(s));
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto switches = tools::Switches::Parse(
      argc, argv,
      {"-cp", "-cun", "-cpw", "-f",  "-coa", "-m",   "-fp",  "-fe", "-lf",  "-lp", "-le",
       "-ap", "-kp",  "-ke",  "-ks", "-kx",  "-ifm", "-exp", "-sf", "-cto", "-tto"},
      error);
  if (!switches) {
    std::cerr << kProgram << ": " << core::EscapeControlCharacters(error) << '\n';
    return 2;
  }
  tools::ToolLog log(kProgram, switches->Get("-lf"));
  log.Hide(switches->Get("-cpw"));
  return Run(*switches, log);
}
