#pragma once

#include <libxml/xmlschemas.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "validation/invoice_check.hpp"

namespace wfdesk::validation {

// The schemas of one check, each parsed once when a file first needs it.
class SchemaSet {
 public:
  // `fixed` is the one schema for every file, "" to choose by the root
  // element among the shipped schemas in `data_folder`.
  SchemaSet(std::string fixed, std::string data_folder);
  ~SchemaSet();
  SchemaSet(const SchemaSet&) = delete;
  SchemaSet& operator=(const SchemaSet&) = delete;

  // Checks a file against its schema; the findings are its schema errors,
  // or why it is no XML the check takes. False when the schema itself could
  // not be read: then `failure` says why and the file was not checked.
  bool Check(const std::string& path, std::vector<Finding>& findings);
  const std::string& failure() const { return failure_; }

 private:
  struct Parsed;
  std::string SchemaFor(const xmlDoc& doc, std::vector<Finding>& findings) const;
  Parsed* Load(const std::string& schema);

  std::string fixed_;
  std::string data_folder_;
  std::map<std::string, std::unique_ptr<Parsed>> parsed_;
  std::string failure_;
};

}  // namespace wfdesk::validation
