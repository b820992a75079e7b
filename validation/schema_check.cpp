#include "validation/schema_check.hpp"

#include "core/files.hpp"
#include "core/settings.hpp"
#include "validation/ubl_facts.hpp"
#include "validation/validation_data.hpp"
#include "validation/xml_document.hpp"

namespace wfdesk::validation {

namespace {

// Schema errors as findings, in the order the validator meets them.
void KeepSchemaError(void* data, xmlError* error) {
  if (error->level < XML_ERR_ERROR) return;
  auto* findings = static_cast<std::vector<Finding>*>(data);
  findings->push_back({"XSD", "fatal", OneLine(error->message),
                       error->line > 0 ? "line " + std::to_string(error->line) : ""});
}

// Why a schema could not be read: its parser's first error.
void KeepFirstMessage(void* data, xmlError* error) {
  auto* message = static_cast<std::string*>(data);
  if (message->empty() && error->level >= XML_ERR_ERROR) *message = OneLine(error->message);
}

}  // namespace

struct SchemaSet::Parsed {
  xmlSchema* schema = nullptr;
  xmlSchemaValidCtxt* validator = nullptr;
  ~Parsed() {
    if (validator != nullptr) xmlSchemaFreeValidCtxt(validator);
    if (schema != nullptr) xmlSchemaFree(schema);
  }
};

SchemaSet::SchemaSet(std::string fixed, std::string data_folder)
    : fixed_(std::move(fixed)), data_folder_(std::move(data_folder)) {}

SchemaSet::~SchemaSet() = default;

std::string SchemaSet::SchemaFor(const xmlDoc& doc, std::vector<Finding>& findings) const {
  if (!fixed_.empty()) return fixed_;
  const xmlNode* root = xmlDocGetRootElement(&doc);
  const char* shipped = nullptr;
  if (IsElement(root, kUblInvoiceNamespace, "Invoice")) shipped = kInvoiceSchema;
  if (IsElement(root, kUblCreditNoteNamespace, "CreditNote")) shipped = kCreditNoteSchema;
  if (shipped == nullptr) {
    findings.push_back({"XSD", "fatal",
                        "The root element is neither a UBL 2.1 Invoice nor a CreditNote "
                        "(with its namespace)",
                        "line " + std::to_string(xmlGetLineNo(root))});
    return "";
  }
  return data_folder_ + core::kPathSeparator + shipped;
}

SchemaSet::Parsed* SchemaSet::Load(const std::string& schema) {
  if (auto found = parsed_.find(schema); found != parsed_.end()) return found->second.get();
  if (!core::IsPlainFile(schema)) {
    failure_ = "The schema " + schema + " was not found";
    return nullptr;
  }
  auto parsed = std::make_unique<Parsed>();
  std::string message;
  xmlSchemaParserCtxt* parser = xmlSchemaNewParserCtxt(schema.c_str());
  xmlSchemaSetParserStructuredErrors(parser, KeepFirstMessage, &message);
  parsed->schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (parsed->schema == nullptr) {
    failure_ = "The schema " + schema + " could not be read: " + message;
    return nullptr;
  }
  parsed->validator = xmlSchemaNewValidCtxt(parsed->schema);
  return parsed_.emplace(schema, std::move(parsed)).first->second.get();
}

bool SchemaSet::Check(const std::string& path, std::vector<Finding>& findings) {
  ParsedFile file = ParseSafely(path);
  if (!file.doc) {
    findings = std::move(file.refusal);
    return true;
  }
  const std::string schema = SchemaFor(*file.doc, findings);
  if (schema.empty()) return true;
  Parsed* parsed = Load(schema);
  if (parsed == nullptr) return false;
  xmlSchemaSetValidStructuredErrors(parsed->validator, KeepSchemaError, &findings);
  const int result = xmlSchemaValidateDoc(parsed->validator, file.doc.get());
  if (result != 0 && findings.empty()) {
    findings.push_back({"XSD", "fatal", "The schema check failed without a message", ""});
  }
  return true;
}

}  // namespace wfdesk::validation
