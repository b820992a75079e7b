// mod_ledgerconv001_x86_32: converts the invoice exports of the accounting
// system into UBL 2.1 invoices, one file per invoice number.
//
//   -f DIR     folder of the exports       -ifm MASK  which of its files ("*")
//   -fp DIR    folder for the invoices     -fe EXT    their extension
//   -px TEXT   prefix of their names       -ap DIR    archive for the exports
//   -lf FILE   log file
//
// An export is converted only as a whole: when one of its lines is
// malformed, or an invoice file of the same name is already there, none of
// its invoices is written and the export stays where it is, so that it can
// be mended and converted exactly once. A converted export is moved to the
// archive (numbered when the name is taken), or deleted when there is none.
// Exit status: 0 when every export was converted, 1 otherwise, 2 for a
// wrong command line.
#include <iostream>
#include <set>

#include "core/ascii.hpp"
#include "core/files.hpp"
#include "core/platform.hpp"
#include "core/text_encoding.hpp"
#include "tools/common/switches.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/ubl_writer.hpp"

namespace {

using namespace wfdesk;

constexpr const char* kProgram = "ledgerconv";

struct Options {
  std::string folder, mask, out_folder, extension, prefix, archive;
};

std::string OutputPath(const Options& options, const tools::Invoice& invoice) {
  return options.out_folder + "/" + options.prefix + tools::SafeFileName(invoice.number) + "." +
         options.extension;
}

// Converts one export; returns how many invoices it wrote, or -1 when the
// export was kept.
int ConvertExport(const Options& options, const tools::ToolLog& log, const std::string& path) {
  std::string bytes;
  if (const auto read = core::platform::ReadFileBytes(path, bytes); !read) {
    log.Line(read.error + "; the export is kept");
    return -1;
  }
  const tools::ExportContent content = tools::ReadExport(core::AsUtf8(bytes));
  bool keep = false;
  for (const auto& problem : content.problems) {
    log.Line("MALFORMED " + path + ":" + std::to_string(problem.line) + ": " + problem.reason +
             (problem.invoice.empty() ? "" : " (invoice " + problem.invoice + ")"));
    keep = true;
  }
  std::set<std::string> outputs;  // as the file system compares names
  for (const auto& invoice : content.invoices) {
    if (!outputs.insert(core::UpperAscii(OutputPath(options, invoice))).second) {
      log.Line("invoice " + invoice.number + " of " + path + " would have the file name " +
               OutputPath(options, invoice) + " of another invoice in it");
      keep = true;
    }
    if (core::FileListed(OutputPath(options, invoice))) {
      log.Line("invoice " + invoice.number + " of " + path +
               " was converted before: " + OutputPath(options, invoice) + " is there");
      keep = true;
    }
  }
  if (keep) {
    log.Line("KEPT " + path + ": none of its invoices was written; mend it and run again");
    return -1;
  }
  int written = 0;
  for (const auto& invoice : content.invoices) {
    const std::string out = OutputPath(options, invoice);
    if (const auto saved = core::WriteTextFile(out, tools::UblInvoice(invoice), false); !saved) {
      log.Line(saved.error + "; " + path + " is kept");
      return -1;
    }
    log.Line("converted invoice " + invoice.number + " (" + std::to_string(invoice.items.size()) +
             " line(s)) to " + out);
    ++written;
  }
  if (!options.archive.empty()) {
    const core::MoveResult moved =
        core::MoveFileNumbered(path, options.archive + "/" + core::FileNameOf(path));
    log.Line(moved.moved ? "archived " + path + " to " + moved.target
                         : "could not archive " + path + ": " + moved.error);
  } else if (const auto deleted = core::DeleteFileIfListed(path); !deleted) {
    log.Line("could not delete " + path + ": " + deleted.error);
  }
  return written;
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
  const Options options{switches->Get("-f"),  switches->Get("-ifm", "*"), switches->Get("-fp"),
                        switches->Get("-fe"), switches->Get("-px"),       switches->Get("-ap")};
  if (!core::DirExists(options.folder) || !core::DirExists(options.out_folder) ||
      options.extension.empty()) {
    log.Line(
        "needs an existing export folder (-f), an existing invoice folder (-fp) and an "
        "extension (-fe)");
    return 2;
  }
  int converted = 0, kept = 0;
  const auto exports = core::ListedFiles(options.folder + "/" + options.mask);
  for (const std::string& path : exports) {
    const int written = ConvertExport(options, log, path);
    if (written < 0) {
      ++kept;
    } else {
      converted += written;
    }
  }
  log.Line("converted " + std::to_string(converted) + " invoice(s) from " +
           std::to_string(exports.size() - std::size_t(kept)) + " export(s); " +
           std::to_string(kept) + " export(s) kept");
  return kept == 0 ? 0 : 1;
}
