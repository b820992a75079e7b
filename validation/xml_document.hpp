#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "validation/invoice_check.hpp"

namespace wfdesk::validation {

struct DocumentFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Document = std::unique_ptr<xmlDoc, DocumentFree>;

// A file read as XML that never reaches beyond its own bytes: no network,
// no external DTD, no entity substitution, libxml2's depth limit kept. A
// file that declares entities or names an external DTD is refused, as an
// invoice needs neither. Without a document `refusal` says why, as an
// "XML" finding.
struct ParsedFile {
  Document doc;
  std::vector<Finding> refusal;
};
ParsedFile ParseSafely(const std::string& path);

// Whether `node` is the element `name` of the namespace `ns`.
bool IsElement(const xmlNode* node, std::string_view ns, std::string_view name);

// The text of an element without the white space around it; "" for none.
std::string TrimmedText(const xmlNode* node);

// The text of an element, blanks and line ends folded into single blanks.
std::string OneLineText(const xmlNode* node);

// A message of libxml2 on one line, without its line end.
std::string OneLine(const char* message);

}  // namespace wfdesk::validation
