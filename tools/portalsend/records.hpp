#pragma once

// The workflow's transmission database as the connector keeps it: read
// once per run into an index of earlier uploads, and written a record per
// upload. The module hands the path over in core::kTransmissionDbVariable;
// a connector started without it keeps no records.

#include <string>

#include "textdb/transmission_record.hpp"
#include "tools/common/switches.hpp"

namespace wfdesk::tools {

class TransmissionBook {
 public:
  // Reads the database named by the environment; says in the log when
  // there is none, or when it cannot be read.
  explicit TransmissionBook(const ToolLog& log);

  bool keeps_records() const { return !path_.empty(); }
  // False when the database could not be read: then no invoice may be sent,
  // as an earlier acceptance could not be seen.
  bool readable() const { return readable_; }
  // The last record of the number, or null.
  const textdb::EarlierUpload* Earlier(const std::string& number) const;
  // Writes the record (nothing without a database); false, said in the
  // log, when it could not be written.
  bool Write(const textdb::TransmissionRecord& record);

 private:
  const ToolLog& log_;
  std::string path_;
  textdb::TransmissionIndex index_;
  bool readable_ = true;
};

}  // namespace wfdesk::tools
