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
// The template holds the placeholders {{OPERATION}}, {{SENDER}},
// {{FILENAME}} and {{INVOICE}} (the invoice without its XML declaration).
// An invoice the portal accepted (see answer.hpp), or had accepted before,
// leaves the input folder (to the archive, else deleted), so it is sent
// once; one that was refused or could not be sent stays for the next run.
// Once the portal cannot be reached, the remaining invoices stay without
// being tried, so a portal that is down costs one time-out, not one per
// invoice. Requests, answers and acknowledgements never overwrite earlier
// ones: a taken name gets a number. The password and the credentials of a
// web address never reach the log. Exit status: 0 when every invoice was
// accepted, 75 when some stay for the next run, 2 for a wrong command line.
#include <iostream>

#include "core/files.hpp"
#include "core/log.hpp"
#include "core/process.hpp"
#include "tools/common/switches.hpp"
#include "tools/portalsend/answer.hpp"
#include "tools/portalsend/upload.hpp"

namespace {

using namespace wfdesk;

constexpr const char* kProgram = "portalsend";
constexpr int kLongestTimeOut = 86400;

std::string BaseOf(const std::string& name) {
  return name.substr(0, name.find('.'));
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::string WithoutDeclaration(std::string xml) {
  if (xml.starts_with("\xEF\xBB\xBF")) xml.erase(0, 3);
  if (xml.starts_with("<?xml")) {
    const auto end = xml.find("?>");
    if (end != std::string::npos) xml.erase(0, end + 2);
  }
  return xml;
}

// What became of one invoice.
enum class Sent { kAccepted, kKept, kPortalUnreachable };

struct Sender {
  const tools::Switches& s;
  const tools::ToolLog& log;
  std::string template_text;
  int connect_seconds = 10;
  int total_seconds = 60;

  Sent Send(const std::string& path) const;
  std::string Request(const std::string& path, std::string& error) const;
  tools::UploadResult Post(const std::string& request_file, const std::string& answer_file) const;
  void KeepAnswer(const std::string& base, const std::string& answer_file) const;
  bool Accept(const std::string& path, const std::string& pending, const std::string& output,
              const tools::Verdict& verdict) const;
  bool PutAway(const std::string& path) const;
  void Acknowledge(const std::string& path, const tools::Verdict& verdict) const;
};

std::string Sender::Request(const std::string& path, std::string& error) const {
  std::string invoice;
  if (const auto read = core::ReadFileContent(path, invoice); !read) {
    error = read.error;
    return "";
  }
  std::string request = template_text;
  ReplaceAll(request, "{{OPERATION}}", s.Get("-m"));
  ReplaceAll(request, "{{SENDER}}", tools::XmlEscape(s.Get("-sf")));
  ReplaceAll(request, "{{FILENAME}}", tools::XmlEscape(core::FileNameOf(path)));
  ReplaceAll(request, "{{INVOICE}}", WithoutDeclaration(invoice));
  return request;
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
// so an earlier record is never overwritten.
std::string Place(const std::string& file, const std::string& target, const tools::ToolLog& log) {
  const core::MoveResult moved = core::MoveFileNumbered(file, target);
  if (!moved.moved) {
    log.Line("could not keep " + target + ": " + moved.error);
    std::remove(file.c_str());
  }
  return moved.target;
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
// name with a line break, say) can add a field of its own.
void Sender::Acknowledge(const std::string& path, const tools::Verdict& verdict) const {
  if (!s.Has("-kp")) return;
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
    log.Line(saved.error);
    return;
  }
  Place(pending, file, log);
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

bool Sender::Accept(const std::string& path, const std::string& pending, const std::string& output,
                    const tools::Verdict& verdict) const {
  Place(pending, output, log);
  Acknowledge(path, verdict);
  const std::string as =
      " as invoice " + verdict.invoice_number + ", acknowledgement " + verdict.acknowledgement;
  if (verdict.outcome == tools::Outcome::kUploadedBefore) {
    log.Line("the portal had accepted " + path + " before" + as + "; put away as accepted");
  } else {
    log.Line("uploaded " + path + as);
  }
  return PutAway(path);
}

Sent Sender::Send(const std::string& path) const {
  const std::string base = BaseOf(core::FileNameOf(path));
  std::string error;
  const std::string request = Request(path, error);
  if (!error.empty()) {
    log.Line("FAILED " + path + ": " + error + "; kept for the next run");
    return Sent::kKept;
  }
  // The request and the answer wait under names of their own until the
  // portal has answered; only then do they take their places.
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
    log.Line("REFUSED " + path + ": " + verdict.reason + "; kept for the next run");
    std::remove(pending.c_str());
    return Sent::kKept;
  }
  return Accept(path, pending, output, verdict) ? Sent::kAccepted : Sent::kKept;
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
  int uploaded = 0, kept = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const Sent sent = sender.Send(paths[i]);
    sent == Sent::kAccepted ? ++uploaded : ++kept;
    if (sent == Sent::kPortalUnreachable && i + 1 < paths.size()) {
      const std::size_t left = paths.size() - i - 1;
      sender.log.Line("the portal cannot be reached; " + std::to_string(left) +
                      " more invoice(s) kept for the next run without trying");
      kept += static_cast<int>(left);
      break;
    }
  }
  sender.log.Line("uploaded " + std::to_string(uploaded) + " invoice(s); " + std::to_string(kept) +
                  " kept for the next run");
  return kept == 0 ? 0 : core::kExitKeptForNextRun;
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
  Sender sender{*switches, log, ""};
  if (!ReadSeconds(*switches, "-cto", sender.connect_seconds) ||
      !ReadSeconds(*switches, "-tto", sender.total_seconds)) {
    log.Line("the time-outs (-cto, -tto) are whole seconds from 1 to " +
             std::to_string(kLongestTimeOut));
    return 2;
  }
  if (switches->Get("-cp").empty() || !core::DirExists(switches->Get("-f")) ||
      !core::DirExists(switches->Get("-fp")) ||
      !core::ReadFileContent(switches->Get("-coa"), sender.template_text)) {
    log.Line(
        "needs a portal address (-cp), an existing invoice folder (-f), an existing output "
        "folder (-fp) and a readable template (-coa)");
    return 2;
  }
  return SendAll(sender, core::ListedFiles(switches->Get("-f") + "/" + switches->Get("-ifm", "*")));
}
