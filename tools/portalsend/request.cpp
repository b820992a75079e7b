#include "tools/portalsend/request.hpp"

#include <libxml/parser.h>

#include <vector>

#include "core/ascii.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::string_view kOperation = "{{OPERATION}}";
constexpr std::string_view kInvoice = "{{INVOICE}}";
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Copies text[at, end of `close`) to out; returns the position after it.
std::size_t CopyThrough(std::string_view text, std::size_t at, std::string_view close,
                        std::string& out) {
  const std::size_t found = text.find(close, at);
  const std::size_t end = found == std::string_view::npos ? text.size() : found + close.size();
  out.append(text.substr(at, end - at));
  return end;
}

// Copies the name of the tag at `at` ("<" or "</" included), the
// operation in place of each {{OPERATION}}.
std::size_t CopyTagName(std::string_view text, std::size_t at, const std::string& operation,
                        std::string& out, bool& used) {
  out += text[at++];
  if (at < text.size() && text[at] == '/') out += text[at++];
  while (at < text.size() && std::string_view(" \t\r\n/>").find(text[at]) == std::string::npos) {
    if (text.substr(at).starts_with(kOperation)) {
      out += operation;
      used = true;
      at += kOperation.size();
    } else {
      out += text[at++];
    }
  }
  return at;
}

std::string OperationInNames(std::string_view text, const std::string& operation, bool& used) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--")) {
      at = CopyThrough(text, at, "-->", out);
    } else if (rest.starts_with("<![CDATA[")) {
      at = CopyThrough(text, at, "]]>", out);
    } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
      at = CopyThrough(text, at, ">", out);
    } else if (rest.starts_with("<")) {
      at = CopyTagName(text, at, operation, out, used);
    } else {
      out += text[at++];
    }
  }
  return out;
}

std::string LastXmlError() {
  const xmlError* error = xmlGetLastError();
  const std::string_view text = core::StripLineEnd(error && error->message ? error->message : "");
  return text.empty() ? "" : " (" + std::string(text) + ")";
}

XmlDoc Parse(std::string_view bytes, const char* name) {
  xmlResetLastError();
  return XmlDoc(
      xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), name, nullptr, kParseOptions));
}

// {{OPERATION}}, {{SENDER}} and {{FILENAME}} replaced in one pass, so that
// no value is searched for placeholders again.
std::string Filled(std::string_view text, const RequestValues& values) {
  const std::pair<std::string_view, const std::string*> names[] = {
      {kOperation, &values.operation},
      {"{{SENDER}}", &values.sender},
      {"{{FILENAME}}", &values.file_name}};
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    bool replaced = false;
    for (const auto& [name, value] : names) {
      if (text.substr(at).starts_with(name)) {
        out += *value;
        at += name.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[at++];
  }
  return out;
}

std::string_view ContentOf(const xmlNode* node) {
  return node->content ? reinterpret_cast<const char*>(node->content) : "";
}

// The text nodes of elements and attributes that hold a placeholder.
void CollectPlaceholders(xmlNode* node, std::vector<xmlNode*>& found) {
  for (; node; node = node->next) {
    if (node->type == XML_TEXT_NODE && ContentOf(node).find("{{") != std::string_view::npos) {
      found.push_back(node);
    }
    if (node->type != XML_ELEMENT_NODE) continue;
    for (xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
      CollectPlaceholders(attribute->children, found);
    }
    CollectPlaceholders(node->children, found);
  }
}

void SetText(xmlNode* node, const std::string& text) {
  xmlNodeSetContent(node, reinterpret_cast<const xmlChar*>(text.c_str()));
}

// An element's text with the invoice in place of each {{INVOICE}}: the
// node keeps the text before the first, the rest follows it.
void Fill(xmlNode* node, const RequestValues& values, xmlNode* invoice) {
  const std::string content(ContentOf(node));
  const bool in_element = node->parent && node->parent->type == XML_ELEMENT_NODE;
  std::size_t at = in_element ? content.find(kInvoice) : std::string::npos;
  if (at == std::string::npos) return SetText(node, Filled(content, values));
  SetText(node, Filled(std::string_view(content).substr(0, at), values));
  xmlNode* last = node;
  while (at != std::string::npos) {
    last = xmlAddNextSibling(last, xmlDocCopyNode(invoice, node->doc, 1));
    const std::size_t from = at + kInvoice.size();
    at = content.find(kInvoice, from);
    const std::string piece = Filled(std::string_view(content).substr(from, at - from), values);
    xmlNode* text = xmlNewDocText(node->doc, nullptr);
    SetText(text, piece);
    last = xmlAddNextSibling(last, text);
  }
}

}  // namespace

std::string PrepareTemplate(std::string_view text, const std::string& operation,
                            std::string& error) {
  bool used = false;
  std::string prepared = OperationInNames(text, operation, used);
  if (used && xmlValidateNCName(reinterpret_cast<const xmlChar*>(operation.c_str()), 0) != 0) {
    error = "the operation \"" + operation + "\" (-m) is no valid XML element name";
    return "";
  }
  if (!Parse(prepared, "template.xml")) {
    error = "the template is not well-formed XML" + LastXmlError();
    return "";
  }
  return prepared;
}

XmlDoc ParseInvoice(std::string_view bytes, std::string& error) {
  XmlDoc doc = Parse(bytes, "invoice.xml");
  if (!doc || !xmlDocGetRootElement(doc.get())) {
    error = "the invoice is not well-formed XML" + LastXmlError();
    return nullptr;
  }
  if (doc->intSubset || doc->extSubset) {
    error = "the invoice has a document type declaration, which an invoice must not have";
    return nullptr;
  }
  return doc;
}

std::string BuildRequest(const std::string& prepared_template, const RequestValues& values,
                         xmlDoc* invoice, std::string& error) {
  XmlDoc doc = Parse(prepared_template, "template.xml");
  if (!doc) {
    error = "the template is not well-formed XML" + LastXmlError();
    return "";
  }
  std::vector<xmlNode*> placeholders;
  CollectPlaceholders(xmlDocGetRootElement(doc.get()), placeholders);
  for (xmlNode* node : placeholders) Fill(node, values, xmlDocGetRootElement(invoice));
  xmlReconciliateNs(doc.get(), xmlDocGetRootElement(doc.get()));
  xmlChar* bytes = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(doc.get(), &bytes, &size, "UTF-8");
  std::string request(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  xmlFree(bytes);
  return request;
}

}  // namespace wfdesk::tools
