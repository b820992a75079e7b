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
// One connector at a time works on an input folder; another one keeps
// everything for its next run.
// Once the portal cannot be reached, the remaining invoices stay without
// being tried, so a portal that is down costs one time-out, not one per
// invoice. Requests, answers and acknowledgements never overwrite earlier
// ones: a taken name gets a number. The password and the credentials of a
// web address never reach the log. Exit status: 0 when every invoice was
// accepted, 75 when some stay for the next run, 2 for a wrong command line.
#include <iostream>

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

std::string BaseOf(const std::string& name) {
  return name.substr(0, name.find('.'));
}

// What became of one invoice.
enum class Sent { kAccepted, kSentBefore, kKept, kPortalUnreachable };

// One invoice on its way: read, parsed and known by its facts.
struct Invoice {
  std::string path;
  tools::XmlDoc document;
  tools::InvoiceFacts facts;
};

struct Sender {
  const tools::Switches& s;
  const tools::ToolLog& log;
  tools::TransmissionBook& book;
  std::string template_text;  // prepared, see PrepareTemplate
  int connect_seconds = 10;
  int total_seconds = 60;

  Sent Send(const std::string& path) const;
  Sent Upload(const Invoice& invoice) const;
  std::string Request(const Invoice& invoice, std::string& error) const;
  tools::UploadResult Post(const std::string& request_file, const std::string& answer_file) const;
  void KeepAnswer(const std::string& base, const std::string& answer_file) const;
  Sent Accept(const Invoice& invoice, const std::string& pending, const std::string& output,
              const tools::Verdict& verdict) const;
  Sent Finish(const Invoice& invoice, const tools::Verdict& verdict) const;
  Sent Refuse(const Invoice& invoice, const tools::Verdict& verdict) const;
  Sent Repeat(const Invoice& invoice, const textdb::EarlierUpload& earlier) const;
  bool Record(const Invoice& invoice, const tools::Verdict& verdict, std::string_view state) const;
  bool PutAway(const std::string& path) const;
  bool Acknowledge(const std::string& path, const tools::Verdict& verdict) const;
};

std::string Sender::Request(const Invoice& invoice, std::string& error) const {
  const tools::RequestValues values{s.Get("-m"), s.Get("-sf"), core::FileNameOf(invoice.path)};
  return tools::BuildRequest(template_text, values, invoice.document.get(), error);
}

tools::UploadResult Sender::Post(const std::string& request_file,
                                 const std::string& answer_file) const {
  tools::Upload upload{s.Get("-exp", "curl"), s.Get("-cp"), s.Get("-cun"), s.Get("-cpw"),
                       request_file,          answer_file,  s.Get("-m")};
  upload.connect_seconds = connect_seconds;
  upload.total_seconds = total_seconds;
  return tools::PostUpload(upload);
}

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
// acknowledgement could not be kept.
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
  if (const auto saved = core::WriteTextFile(pending, text, false); !saved) {
    log.Line("could not write the acknowledgement " + file + ": " + saved.error);
    std::remove(pending.c_str());
    return false;
  }
  return Place(pending, file, log);
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
bool Sender::Record(const Invoice& invoice, const tools::Verdict& verdict,
                    std::string_view state) const {
  tools::InvoiceFacts facts = invoice.facts;
  if (facts.number.empty()) facts.number = verdict.invoice_number;
  textdb::TransmissionRecord record;
  record.number = facts.number;
  record.file_name = core::FileNameOf(invoice.path);
  record.description = textdb::RecordDescription(facts.credit_note, facts.number, facts.buyer);
  record.acknowledgement = verdict.acknowledgement;
  record.currency = facts.currency;
  record.date = facts.date;
  record.amount = facts.amount;
  record.state = std::string(state);
  return book.Write(record);
}

Sent Sender::Accept(const Invoice& invoice, const std::string& pending, const std::string& output,
                    const tools::Verdict& verdict) const {
  Place(pending, output, log);
  return Finish(invoice, verdict);
}

// An accepted invoice is done once its acknowledgement and its record are
// written; then it is put away.
Sent Sender::Finish(const Invoice& invoice, const tools::Verdict& verdict) const {
  const std::string& path = invoice.path;
  const bool acknowledged = Acknowledge(path, verdict);
  const bool recorded =
      Record(invoice, verdict, acknowledged ? textdb::kStateAccepted : textdb::kStateKept);
  const std::string as =
      " as invoice " + verdict.invoice_number + ", acknowledgement " + verdict.acknowledgement;
  if (!acknowledged || !recorded) {
    log.Line("the portal accepted " + path + as + ", but it is kept for the next run until its " +
             (acknowledged ? "transmission record" : "acknowledgement") + " is written");
    return Sent::kKept;
  }
  if (verdict.outcome == tools::Outcome::kUploadedBefore) {
    log.Line("the portal had accepted " + path + " before" + as + "; put away as accepted");
  } else {
    log.Line("uploaded " + path + as);
  }
  return PutAway(path) ? Sent::kAccepted : Sent::kKept;
}

Sent Sender::Refuse(const Invoice& invoice, const tools::Verdict& verdict) const {
  log.Line("REFUSED " + invoice.path + ": " + verdict.reason + "; kept for the next run");
  Record(invoice, verdict, textdb::kStateRefused);
  return Sent::kKept;
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

Sent Sender::Send(const std::string& path) const {
  std::string bytes, error;
  Invoice invoice{path, nullptr, {}};
  if (const auto read = core::ReadFileContent(path, bytes); !read) {
    error = read.error;
  } else if ((invoice.document = tools::ParseInvoice(bytes, error))) {
    invoice.facts = tools::ReadInvoiceFacts(invoice.document.get());
  }
  if (!error.empty()) {
    log.Line("FAILED " + path + ": " + error + "; kept for the next run");
    return Sent::kKept;
  }
  const textdb::EarlierUpload* earlier = book.Earlier(invoice.facts.number);
  if (earlier && Accepted(*earlier)) return Repeat(invoice, *earlier);
  return Upload(invoice);
}

// An invoice whose number the database records as accepted is not sent
// again: the same one is put away as uploaded (acknowledged first when
// that was left undone), a changed one stays.
Sent Sender::Repeat(const Invoice& invoice, const textdb::EarlierUpload& earlier) const {
  const std::string as = "invoice " + invoice.facts.number + " (" + invoice.path +
                         ") was accepted before, acknowledgement " + earlier.acknowledgement;
  if (SameInvoice(earlier, invoice.facts) && earlier.state == textdb::kStateKept) {
    log.Line(as + ", but was not acknowledged here; it is now, without sending it again");
    const tools::Verdict verdict{tools::Outcome::kUploadedBefore, earlier.acknowledgement,
                                 core::EscapeControlCharacters(invoice.facts.number), ""};
    return Finish(invoice, verdict);
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

Sent Sender::Upload(const Invoice& invoice) const {
  const std::string& path = invoice.path;
  std::string error;
  const std::string request = Request(invoice, error);
  if (!error.empty()) {
    log.Line("FAILED " + path + ": " + error + "; kept for the next run");
    return Sent::kKept;
  }
  // The request and the answer wait under names of their own until the
  // portal has answered; only then do they take their places.
  const std::string base = BaseOf(core::FileNameOf(path));
  const std::string output = s.Get("-fp") + "/" + base + "." + s.Get("-fe");
  const std::string pending = output + ".sending";
  const std::string answer_file = output + ".answer";
  if (const auto saved = core::WriteTextFile(pending, request, false); !saved) {
    log.Line("FAILED " + path + ": " + saved.error + "; kept for the next run");
    return Sent::kKept;
  }
  const tools::UploadResult result = Post(pending, answer_file);
  if (!result.ran || result.status != 0) {
    log.Line("FAILED " + path + ": the upload to " + s.Get("-cp") + " failed (" +
             (result.error.empty() ? "curl exit " + std::to_string(result.status) : result.error) +
             "); kept for the next run");
    std::remove(pending.c_str());
    std::remove(answer_file.c_str());
    return result.unreachable ? Sent::kPortalUnreachable : Sent::kKept;
  }
  std::string answer;
  (void)core::ReadFileContent(answer_file, answer);
  KeepAnswer(base, answer_file);
  const tools::Verdict verdict = tools::JudgeAnswer(result.http_status, answer);
  if (verdict.outcome == tools::Outcome::kRefused) {
    std::remove(pending.c_str());
    return Refuse(invoice, verdict);
  }
  return Accept(invoice, pending, output, verdict);
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

int SendAll(const Sender& sender, const std::vector<std::string>& paths) {
  int uploaded = 0, before = 0, kept = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const Sent sent = sender.Send(paths[i]);
    sent == Sent::kAccepted ? ++uploaded : sent == Sent::kSentBefore ? ++before : ++kept;
    if (sent == Sent::kPortalUnreachable && i + 1 < paths.size()) {
      const std::size_t left = paths.size() - i - 1;
      sender.log.Line("the portal cannot be reached; " + std::to_string(left) +
                      " more invoice(s) kept for the next run without trying");
      kept += static_cast<int>(left);
      break;
    }
  }
  sender.log.Line(
      "uploaded " + std::to_string(uploaded) + " invoice(s); " + std::to_string(kept) +
      " kept for the next run" +
      (before ? "; " + std::to_string(before) + " accepted before, not sent again" : ""));
  return kept == 0 ? 0 : core::kExitKeptForNextRun;
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
  const Sender sender{s, log, book, prepared, limits.connect_seconds, limits.total_seconds};
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
