// mod_ledgerconv001_x86_32: converts the invoice exports of the accounting
// system into UBL 2.1 invoices, one file per invoice number; an invoice whose
// total is negative (returned items) becomes a UBL 2.1 credit note. The file
// name holds the number with every character but letters, digits and "-"
// written as "_" and its hex code, so that no two numbers share a name.
//
//   -f DIR     folder of the exports       -ifm MASK  which of its files ("*")
//   -fp DIR    folder for the invoices     -fe EXT    their extension
//   -px TEXT   prefix of their names       -ap DIR    archive for the exports
//   -lf FILE   log file
//
// An export is converted only as a whole: when one of its lines is
// malformed, or an invoice file of the same name is already there, none of
// its invoices is written and the export stays where it is, so that it can
// be mended and converted exactly once. A crash leaves nothing half done:
// the next run finishes or redoes the conversion (see commit_record.hpp). A
// converted export is moved to the archive (numbered when the name is
// taken), or deleted when there is none. An export that another program
// still has open for writing, or that changed while the run looked at it,
// stays for the next run.
// Exit status: 0 when every export found was converted (none is fine), 75
// when one was kept or its conversion could not be finished (for the next
// run), 2 for a wrong command line.
#include <iostream>

#include "core/files.hpp"
#include "core/process.hpp"
#include "tools/common/switches.hpp"
#include "tools/ledgerconv/conversion.hpp"

namespace {

using namespace wfdesk;

constexpr const char* kProgram = "ledgerconv";

// Names and folders go into file names and the one-line entries of the
// commit record.
bool FitsFileName(const std::string& text, bool folder) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || (!folder && c == '/')) return false;
  }
  return true;
}

std::string OptionsProblem(const tools::ConvertOptions& options) {
  if (!core::DirExists(options.folder) || !core::DirExists(options.out_folder) ||
      options.extension.empty()) {
    return "needs an existing export folder (-f), an existing invoice folder (-fp) and an "
           "extension (-fe)";
  }
  if (!FitsFileName(options.prefix, false) || !FitsFileName(options.extension, false) ||
      !FitsFileName(options.archive, true) || !FitsFileName(options.out_folder, true)) {
    return "the prefix (-px) and extension (-fe) must not hold \"/\" or control characters, "
           "the folders (-fp, -ap) no control characters";
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto switches =
      tools::Switches::Parse(argc, argv, {"-f", "-ifm", "-fp", "-fe", "-px", "-ap", "-lf"}, error);
  if (!switches) {
    std::cerr << kProgram << ": " << error << '\n';
    return 2;
  }
  const tools::ToolLog log(kProgram, switches->Get("-lf"));
  const tools::ConvertOptions options{switches->Get("-f"),  switches->Get("-ifm", "*"),
                                      switches->Get("-fp"), switches->Get("-fe"),
                                      switches->Get("-px"), switches->Get("-ap")};
  if (const std::string problem = OptionsProblem(options); !problem.empty()) {
    log.Line(problem);
    return 2;
  }
  const tools::ConvertSummary summary = tools::ConvertExports(options, log);
  log.Line("converted " + std::to_string(summary.invoices) + " invoice(s) from " +
           std::to_string(summary.exports) + " export(s); " + std::to_string(summary.kept) +
           " export(s) kept");
  return summary.kept == 0 ? 0 : core::kExitKeptForNextRun;
}
