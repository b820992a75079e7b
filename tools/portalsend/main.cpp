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
//
// The template holds the placeholders {{OPERATION}}, {{SENDER}},
// {{FILENAME}} and {{INVOICE}} (the invoice without its XML declaration).
// An invoice the portal accepted leaves the input folder (to the archive,
// else deleted), so it is sent once; one that was refused or could not be
// sent stays for the next run. Requests, answers and acknowledgements never
// overwrite earlier ones: a taken name gets a number. Exit status: 0 when every invoice was
// accepted, 1 otherwise, 2 for a wrong command line.
#include <iostream>

#include "core/files.hpp"
#include "core/log.hpp"
#include "core/platform.hpp"
#include "tools/common/switches.hpp"
#include "tools/portalsend/curl_upload.hpp"

namespace {

using namespace wfdesk;

constexpr const char* kProgram = "portalsend";

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

// The text of the first element with this local name, or "".
std::string ElementText(const std::string& xml, const std::string& name) {
  for (const std::string& open : {"<" + name + ">", ":" + name + ">"}) {
    const auto start = xml.find(open);
    if (start == std::string::npos) continue;
    const auto from = start + open.size();
    const auto end = xml.find('<', from);
    if (end != std::string::npos) return xml.substr(from, end - from);
  }
  return "";
}

struct Sender {
  const tools::Switches& s;
  const tools::ToolLog& log;
  std::string template_text;

  bool Send(const std::string& path) const;
  std::string Request(const std::string& path, std::string& error) const;
  void KeepAnswer(const std::string& base, const std::string& answer_file) const;
  bool PutAway(const std::string& path) const;
  void Acknowledge(const std::string& path, const std::string& number,
                   const std::string& ack) const;
};

std::string Sender::Request(const std::string& path, std::string& error) const {
  std::string invoice;
  if (const auto read = core::platform::ReadFileBytes(path, invoice); !read) {
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
  if (!s.Has("-lp")) {
    std::remove(answer_file.c_str());
    return;
  }
  Place(answer_file, s.Get("-lp") + "/" + base + "." + s.Get("-le", "xml"), log);
}

void Sender::Acknowledge(const std::string& path, const std::string& number,
                         const std::string& ack) const {
  if (!s.Has("-kp")) return;
  const std::string file = s.Get("-kp") + "/" + s.Get("-kx") + BaseOf(core::FileNameOf(path)) +
                           "." + s.Get("-ke", "ack");
  const std::string text = "invoice=" + number + "\r\nacknowledgement=" + ack +
                           "\r\nstate=" + s.Get("-ks", "accepted") +
                           "\r\nfile=" + core::FileNameOf(path) +
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

bool Sender::Send(const std::string& path) const {
  const std::string base = BaseOf(core::FileNameOf(path));
  std::string error;
  const std::string request = Request(path, error);
  if (!error.empty()) {
    log.Line("FAILED " + path + ": " + error + "; kept for the next run");
    return false;
  }
  // The request and the answer wait under names of their own until the
  // portal has answered; only then do they take their places.
  const std::string output = s.Get("-fp") + "/" + base + "." + s.Get("-fe");
  const std::string pending = output + ".sending";
  const std::string answer_file = output + ".answer";
  if (const auto saved = core::WriteTextFile(pending, request, false); !saved) {
    log.Line("FAILED " + path + ": " + saved.error + "; kept for the next run");
    return false;
  }
  const tools::UploadResult result =
      tools::PostWithCurl({s.Get("-exp", "curl"), s.Get("-cp"), s.Get("-cun"), s.Get("-cpw"),
                           pending, answer_file, s.Get("-m")});
  std::string answer;
  (void)core::platform::ReadFileBytes(answer_file, answer);
  if (!result.ran || result.curl_status != 0) {
    log.Line(
        "FAILED " + path + ": the upload to " + s.Get("-cp") + " failed (" +
        (result.error.empty() ? "curl exit " + std::to_string(result.curl_status) : result.error) +
        "); kept for the next run");
    std::remove(pending.c_str());
    std::remove(answer_file.c_str());
    return false;
  }
  KeepAnswer(base, answer_file);
  const std::string ack = ElementText(answer, "AcknowledgementId");
  if (result.http_status != 200 || ack.empty()) {
    const std::string why = ElementText(answer, "faultstring");
    log.Line("REFUSED " + path + ": HTTP " + std::to_string(result.http_status) +
             (why.empty() ? "" : ", " + why) + "; kept for the next run");
    std::remove(pending.c_str());
    return false;
  }
  const std::string number = ElementText(answer, "InvoiceNumber");
  Place(pending, output, log);
  Acknowledge(path, number, ack);
  log.Line("uploaded " + path + " as invoice " + number + ", acknowledgement " + ack);
  return PutAway(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto switches =
      tools::Switches::Parse(argc, argv,
                             {"-cp", "-cun", "-cpw", "-f", "-coa", "-m", "-fp", "-fe", "-lf", "-lp",
                              "-le", "-ap", "-kp", "-ke", "-ks", "-kx", "-ifm", "-exp", "-sf"},
                             error);
  if (!switches) {
    std::cerr << kProgram << ": " << error << '\n';
    return 2;
  }
  const tools::ToolLog log(kProgram, switches->Get("-lf"));
  std::string template_text;
  if (switches->Get("-cp").empty() || !core::DirExists(switches->Get("-f")) ||
      !core::DirExists(switches->Get("-fp")) ||
      !core::platform::ReadFileBytes(switches->Get("-coa"), template_text)) {
    log.Line(
        "needs a portal address (-cp), an existing invoice folder (-f), an existing output "
        "folder (-fp) and a readable template (-coa)");
    return 2;
  }
  const Sender sender{*switches, log, template_text};
  int uploaded = 0, kept = 0;
  for (const std::string& path :
       core::ListedFiles(switches->Get("-f") + "/" + switches->Get("-ifm", "*"))) {
    sender.Send(path) ? ++uploaded : ++kept;
  }
  log.Line("uploaded " + std::to_string(uploaded) + " invoice(s); " + std::to_string(kept) +
           " kept for the next run");
  return kept == 0 ? 0 : 1;
}
