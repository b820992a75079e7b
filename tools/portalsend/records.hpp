#pragma once

// The workflow's transmission database as the connector keeps it: read
// once per run into an index of earlier uploads, and written a batch of
// uploads' records at a time. The module hands the path over in core::kTransmissionDbVariable;
// a connector started without it keeps no records.

#include <string>
#include <vector>

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
  // Writes the records in one update of the database (nothing without a
  // database, nothing for a record without a number, said in the log);
  // false, said in the log, when they could not be written.
  bool Write(const std::vector<textdb::TransmissionRecord>& records);

 private:
  const ToolLog& log_;
  std::string path_;
  textdb::TransmissionIndex index_;
  bool readable_ = true;
};

}  // namespace wfdesk::tools
