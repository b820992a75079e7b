// ebiUpload: uploads invoices to the e-invoicing portal by starting the
// connector of the module folder once per module run.
#include "core/files.hpp"
#include "core/settings.hpp"
#include "core/workflow_file.hpp"
#include "engine/modules.hpp"

namespace wfdesk::engine {

namespace {

constexpr const char* kOperation = "UploadInvoice_ebi40";

struct UploadParams {
  std::string proxy;
  std::string username;
  std::string password;
  std::string file;
  std::string oasis_file;
  std::string oasis_file_test;
  std::string out_path;
  std::string out_extension;
  std::string log_path;
  std::string log_extension;
  std::string archive_path;
  std::string ack_path;
  std::string ack_extension;
  std::string ack_state;
  std::string ack_prefix;
  std::string sender_from_file;
  std::string file_mask;
  std::string curl_path;
  std::string test;
  std::string template_file;  // chosen by the checks
};

UploadParams ReadParams(const ModuleSection& where) {
  UploadParams p;
  p.proxy = where.Read("mpProxy");
  p.username = where.Read("mpUsername");
  p.password = where.Read("mpPassword");
  p.file = where.Read("mpFile");
  p.oasis_file = where.Read("mpOASISfile");
  p.oasis_file_test = where.Read("mpOASISfileTest");
  p.out_path = where.Read("mpFileOutPath");
  p.out_extension = where.Read("mpFileOutExtension");
  p.log_path = where.Read("mpLogPath");
  p.log_extension = where.Read("mpLogExtension");
  p.archive_path = where.Read("mpArchivePath");
  p.ack_path = where.Read("mpAckPath");
  p.ack_extension = where.Read("mpAckExtension");
  p.ack_state = where.Read("mpAckState");
  p.ack_prefix = where.Read("mpAckPrefix");
  p.sender_from_file = where.Read("mpSenderFromFile");
  p.file_mask = where.Read("mpFileMask");
  p.curl_path = where.Read("mpCURLpath");
  p.test = where.Read("mpTest");
  return p;
}

// Test operation only for mpTest = 1 read as a number; anything else,
// missing included, is production. There is no fallback to the other one.
std::string ChooseTemplate(const ModuleSection& where, const UploadParams& p) {
  const bool test = core::LeadingNumber(p.test) == 1;
  const std::string candidate = where.Absolute(test ? p.oasis_file_test : p.oasis_file);
  return core::IsPlainFile(candidate) ? candidate : "";
}

// The checks of the module's own keys; the program rules' check is the
// caller's, as a run has read them already.
Problems Check(const ModuleSection& where, UploadParams& p) {
  Problems problems;
  if (p.proxy.empty()) problems.push_back(where.Text("lg_mesg_mod010"));
  if (p.username.empty()) problems.push_back(where.Text("lg_mesg_mod011"));
  if (p.password.empty()) problems.push_back(where.Text("lg_mesg_mod012"));
  CheckInputAndOutput(where, p.file, p.out_path, p.out_extension, problems);
  p.template_file = ChooseTemplate(where, p);
  if (p.template_file.empty()) problems.push_back(where.Text("lg_mesg_mod013"));
  if (!p.log_path.empty() && !core::DirExists(where.Absolute(p.log_path))) {
    problems.push_back(where.Text("lg_mesg_mod014"));
  }
  CheckArchive(where, p.archive_path, problems);
  if (!p.ack_path.empty() && !core::DirExists(where.Absolute(p.ack_path))) {
    problems.push_back(where.Text("lg_mesg_mod015"));
  }
  if (!p.curl_path.empty() && !core::FileListed(where.Absolute(p.curl_path))) {
    problems.push_back(where.Text("lg_mesg_mod016"));
  }
  return problems;
}

std::vector<Switch> Switches(const ModuleCall& call, const UploadParams& p) {
  const ModuleSection& where = call.where;
  std::vector<Switch> switches = {
      {"-cp", p.proxy},
      {"-cun", p.username},
      {kSecretSwitch, p.password},
      {"-f", where.Absolute(p.file)},
      {"-coa", p.template_file},
      {"-m", kOperation},
      {"-fp", where.Absolute(p.out_path)},
      {"-fe", p.out_extension},
      {"-lf", where.Absolute(call.log_file)},
  };
  auto optional = [&](const char* name, const std::string& value, bool absolute) {
    if (!value.empty()) switches.push_back({name, absolute ? where.Absolute(value) : value});
  };
  optional("-lp", p.log_path, true);
  optional("-le", p.log_extension, false);
  optional("-ap", p.archive_path, true);
  optional("-kp", p.ack_path, true);
  optional("-ke", p.ack_extension, false);
  optional("-ks", p.ack_state, false);
  optional("-kx", p.ack_prefix, false);
  optional("-ifm", p.file_mask, false);
  optional("-exp", p.curl_path, true);
  optional("-sf", p.sender_from_file, false);
  return switches;
}

// The connector keeps the workflow's transmission database: its path goes
// in the environment, so that the connector's command line stays as it is.
// Without a database configured the connector keeps no records.
ProgramEnvironment DatabaseVariable(const ModuleSection& where) {
  const std::string database = core::WorkflowDatabaseFile(where.context, where.workflow_file);
  if (database.empty()) return {};
  return {{core::kTransmissionDbVariable, where.Absolute(database)}};
}

}  // namespace

Problems CheckEbiUpload(const ModuleSection& where) {
  UploadParams p = ReadParams(where);
  Problems problems = Check(where, p);
  CheckProgramRules(where, problems);
  return problems;
}

ModuleOutcome RunEbiUpload(const ModuleCall& call) {
  UploadParams p = ReadParams(call.where);
  ModuleRun run(call, call.mtype);
  run.Start();
  Problems problems = Check(call.where, p);
  CheckProgramRules(call.where, run.rules(), problems);
  if (!problems.empty()) {
    return ModuleOutcome::Failed(run.Fail(problems.front()));
  }
  const ModuleOutcome called =
      run.CallProgram(kConnectorProgram, Switches(call, p), DatabaseVariable(call.where));
  if (called.stops_chain()) return called;
  run.End();
  return called;
}

}  // namespace wfdesk::engine
