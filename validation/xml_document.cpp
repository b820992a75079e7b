#include "validation/xml_document.hpp"

#include <libxml/entities.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include "core/ascii.hpp"
#include "core/files.hpp"

namespace wfdesk::validation {

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

Finding XmlFinding(std::string text, int line) {
  return {"XML", "fatal", std::move(text), line > 0 ? "line " + std::to_string(line) : ""};
}

// The parser's words, but for the depth limit, which it words for programmers.
std::string ParserMessage(const xmlError& error) {
  const std::string text = OneLine(error.message);
  if (!text.starts_with("Excessive depth in document")) return text;
  return "The elements are nested too deep for an invoice";
}

// Keeps the first error of a parser context: the one that stopped it.
void KeepFirstError(void* data, xmlError* error) {
  auto* context = static_cast<xmlParserCtxt*>(data);
  auto* findings = static_cast<std::vector<Finding>*>(context->_private);
  if (findings->empty() && error->level >= XML_ERR_ERROR) {
    findings->push_back(XmlFinding(ParserMessage(*error), error->line));
  }
}

struct ContextFree {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

void NoteEntity(void* payload, void* data, const xmlChar* name) {
  const auto* entity = static_cast<const xmlEntity*>(payload);
  auto* findings = static_cast<std::vector<Finding>*>(data);
  const bool external = entity->etype != XML_INTERNAL_GENERAL_ENTITY &&
                        entity->etype != XML_INTERNAL_PARAMETER_ENTITY &&
                        entity->etype != XML_INTERNAL_PREDEFINED_ENTITY;
  const std::string what = external ? "an external entity" : "an entity";
  findings->push_back(XmlFinding("The file declares " + what + " (" +
                                     reinterpret_cast<const char*>(name) +
                                     "), which an invoice never needs; it was not read",
                                 0));
}

// What the document type declares beyond the root's name.
std::vector<Finding> DeclarationRefusals(const xmlDoc& doc) {
  std::vector<Finding> findings;
  const xmlDtd* dtd = doc.intSubset;
  if (dtd == nullptr) return findings;
  if (dtd->ExternalID != nullptr || dtd->SystemID != nullptr) {
    findings.push_back(
        XmlFinding("The file names an external DTD, which an invoice never "
                   "needs; it was not read",
                   0));
  }
  if (dtd->entities != nullptr) {
    xmlHashScan(static_cast<xmlHashTable*>(dtd->entities), NoteEntity, &findings);
  }
  if (dtd->pentities != nullptr) {
    xmlHashScan(static_cast<xmlHashTable*>(dtd->pentities), NoteEntity, &findings);
  }
  return findings;
}

}  // namespace

std::string OneLine(const char* message) {
  std::string text = message == nullptr ? "" : message;
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool IsElement(const xmlNode* node, std::string_view ns, std::string_view name) {
  return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
         reinterpret_cast<const char*>(node->ns->href) == ns &&
         reinterpret_cast<const char*>(node->name) == name;
}

std::string TrimmedText(const xmlNode* node) {
  if (!node) return "";
  xmlChar* content = xmlNodeGetContent(node);
  const std::string text(
      core::TrimWhitespace(content ? reinterpret_cast<const char*>(content) : ""));
  xmlFree(content);
  return text;
}

std::string OneLineText(const xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text =
      core::CollapseWhitespace(content ? reinterpret_cast<const char*>(content) : "");
  xmlFree(content);
  return text;
}

ParsedFile ParseSafely(const std::string& path) {
  ParsedFile parsed;
  std::string bytes;
  if (const core::FileResult read = core::ReadFileContent(path, bytes); !read) {
    parsed.refusal.push_back(XmlFinding(read.error, 0));
    return parsed;
  }
  constexpr std::size_t kLargest = 1U << 30;
  std::unique_ptr<xmlParserCtxt, ContextFree> context(
      bytes.empty() || bytes.size() > kLargest
          ? nullptr
          : xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
  if (!context) {
    parsed.refusal.push_back(
        XmlFinding(bytes.empty() ? "The file is empty" : "The file is too large", 0));
    return parsed;
  }
  xmlCtxtUseOptions(context.get(), kParseOptions);
  // Defaults another part of the program may have changed in this thread.
  context->loadsubset = 0;
  context->replaceEntities = 0;
  context->validate = 0;
  context->_private = &parsed.refusal;
  context->sax->serror = KeepFirstError;
  xmlParseDocument(context.get());
  Document doc(context->myDoc);
  context->myDoc = nullptr;
  if (!context->wellFormed || !doc) {
    if (parsed.refusal.empty()) parsed.refusal.push_back(XmlFinding("The file is not XML", 0));
    return parsed;
  }
  parsed.refusal = DeclarationRefusals(*doc);
  if (parsed.refusal.empty()) parsed.doc = std::move(doc);
  return parsed;
}

}  // namespace wfdesk::validation
