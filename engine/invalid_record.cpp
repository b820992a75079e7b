#include "engine/invalid_record.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

#include "core/files.hpp"
#include "core/path_facts.hpp"
#include "core/text_encoding.hpp"
#include "core/workflow_file.hpp"
#include "engine/workflow.hpp"
#include "engine/xslt_prolog.hpp"
#include "textdb/transmission_record.hpp"
#include "validation/ubl_facts.hpp"

namespace wfdesk::engine {

namespace {

// The record's fields from a UBL Invoice or CreditNote; no number for
// anything else, or for a file that declares something from outside.
textdb::TransmissionRecord FactsOf(const std::string& file) {
  textdb::TransmissionRecord record;
  std::string bytes;
  if (!core::ReadFileContent(file, bytes) || !RefusedProlog(bytes).empty()) return record;
  const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
      xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      xmlFreeDoc);
  const validation::InvoiceFacts facts =
      validation::ReadUblFacts(document ? xmlDocGetRootElement(document.get()) : nullptr);
  record.number = facts.number;
  record.date = facts.date;
  record.currency = facts.currency;
  record.amount = facts.amount;
  record.description = std::string(kInvalidMark) +
                       textdb::RecordDescription(facts.credit_note, facts.number, facts.buyer);
  return record;
}

}  // namespace

std::string RecordInvalidInvoice(const std::string& database, const std::string& file) {
  textdb::TransmissionRecord record = FactsOf(file);
  if (record.number.empty()) return "no invoice number could be read";
  textdb::TransmissionIndex index;
  if (const core::FileResult loaded = textdb::TransmissionIndex::Load(database, index); !loaded) {
    return "the database cannot be read (" + loaded.error + ")";
  }
  if (const textdb::EarlierUpload* earlier = index.Find(record.number);
      earlier &&
      (earlier->state == textdb::kStateAccepted || earlier->state == textdb::kStateKept)) {
    return "invoice " + record.number + " is recorded as " + earlier->state;
  }
  record.file_name = core::FileNameOf(file);
  record.state = textdb::kStateInvalid;
  const textdb::UpsertResult written = textdb::UpsertTransmissionRecord(database, record);
  return written ? "" : written.error;
}

std::string RejectionReport(const core::Context& context, const std::string& workflow_file,
                            std::string_view file_name) {
  const std::vector<std::string> names = {std::string(file_name), core::AsUtf8(file_name)};
  for (int number = 1; number <= kMaxModules; ++number) {
    const std::string section = ModuleSectionName(number);
    const std::string mtype = core::ReadWorkflowValue(context, workflow_file, section, "mtype");
    if (mtype.empty()) break;
    const std::string rejects =
        mtype == kCheckModuleType
            ? core::ReadWorkflowValue(context, workflow_file, section, "mpRejectPath")
            : std::string();
    if (rejects.empty()) continue;
    const std::string folder = core::AbsolutePath(rejects, context.home) + core::kPathSeparator;
    for (const std::string& name : names) {
      // A record names a file, never a folder elsewhere.
      if (name.empty() || name == "." || name == ".." || core::FileNameOf(name) != name) continue;
      const std::string report = folder + name + std::string(kReportSuffix);
      if (core::IsPlainFile(report)) return report;
    }
  }
  return "";
}

}  // namespace wfdesk::engine
