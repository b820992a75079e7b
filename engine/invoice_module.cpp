// BMD5INVOICE: converts accounting exports into XML invoices by starting the
// converter of the module folder once per module run.
#include "engine/modules.hpp"

namespace wfdesk::engine {

namespace {

struct InvoiceParams {
  std::string file;
  std::string file_mask;
  std::string out_path;
  std::string out_extension;
  std::string out_prefix;
  std::string archive_path;
};

InvoiceParams ReadParams(const ModuleSection& where) {
  InvoiceParams p;
  p.file = where.Read("mpFile");
  p.file_mask = where.Read("mpFileMask");
  p.out_path = where.Read("mpFileOutPath");
  p.out_extension = where.Read("mpFileOutExtension");
  p.out_prefix = where.Read("mpFileOutPrefix");
  p.archive_path = where.Read("mpArchivePath");
  return p;
}

// The checks of the module's own keys; the program rules' check is the
// caller's, as a run has read them already.
Problems Check(const ModuleSection& where, InvoiceParams& p) {
  Problems problems;
  if (p.file_mask.empty()) p.file_mask = "*";
  CheckInputAndOutput(where, p.file, p.out_path, p.out_extension, problems);
  CheckArchive(where, p.archive_path, problems);
  return problems;
}

std::vector<Switch> Switches(const ModuleCall& call, const InvoiceParams& p) {
  const ModuleSection& where = call.where;
  std::vector<Switch> switches = {
      {"-f", where.Absolute(p.file)},         {"-ifm", p.file_mask},
      {"-fp", where.Absolute(p.out_path)},    {"-fe", p.out_extension},
      {"-lf", where.Absolute(call.log_file)},
  };
  if (!p.archive_path.empty()) switches.push_back({"-ap", where.Absolute(p.archive_path)});
  if (!p.out_prefix.empty()) switches.push_back({"-px", p.out_prefix});
  return switches;
}

}  // namespace

Problems CheckBMD5INVOICE(const ModuleSection& where) {
  InvoiceParams p = ReadParams(where);
  Problems problems = Check(where, p);
  CheckProgramRules(where, problems);
  return problems;
}

ModuleOutcome RunBMD5INVOICE(const ModuleCall& call) {
  InvoiceParams p = ReadParams(call.where);
  ModuleRun run(call, call.mtype);
  run.Start();
  Problems problems = Check(call.where, p);
  CheckProgramRules(call.where, run.rules(), problems);
  if (!problems.empty()) {
    return ModuleOutcome::Failed(run.Fail(problems.front()));
  }
  const ModuleOutcome called = run.CallProgram(kConverterProgram, Switches(call, p));
  if (called.stops_chain()) return called;
  run.End();
  return called;
}

}  // namespace wfdesk::engine
