#include "tools/portalsend/records.hpp"

#include "core/environment.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::tools {

TransmissionBook::TransmissionBook(const ToolLog& log)
    : log_(log), path_(core::EnvironmentValue(core::kTransmissionDbVariable).value_or("")) {
  if (path_.empty()) {
    log_.Line(std::string("no transmission database (") + core::kTransmissionDbVariable +
              " is not set): uploads are not recorded");
    return;
  }
  if (const core::FileResult read = textdb::TransmissionIndex::Load(path_, index_); !read) {
    log_.Line("cannot read the transmission database " + path_ + ": " + read.error);
    readable_ = false;
  }
}

const textdb::EarlierUpload* TransmissionBook::Earlier(const std::string& number) const {
  return keeps_records() && !number.empty() ? index_.Find(number) : nullptr;
}

bool TransmissionBook::Write(const std::vector<textdb::TransmissionRecord>& records) {
  if (!keeps_records()) return true;
  std::vector<textdb::TransmissionRecord> numbered;
  for (const textdb::TransmissionRecord& record : records) {
    if (record.number.empty()) {
      log_.Line("no invoice number in " + record.file_name + ": no transmission record");
    } else {
      numbered.push_back(record);
    }
  }
  if (numbered.empty()) return true;
  const textdb::UpsertResult written = textdb::UpsertTransmissionRecords(path_, numbered, &index_);
  if (!written) {
    const std::string which = numbered.size() == 1 ? "invoice " + numbered.front().number
                                                   : std::to_string(numbered.size()) +
                                                         " invoices (" + numbered.front().number +
                                                         " to " + numbered.back().number + ")";
    log_.Line("could not record " + which + " in " + path_ + ": " + written.error);
    return false;
  }
  for (const textdb::TransmissionRecord& record : numbered) index_.Remember(record);
  return true;
}

}  // namespace wfdesk::tools
