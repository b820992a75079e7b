#include "validation/svrl_report.hpp"

#include <cstring>

#include "validation/xml_document.hpp"

namespace wfdesk::validation {

namespace {

constexpr const char* kSvrlNamespace = "http://purl.oclc.org/dsdl/svrl";

bool IsSvrl(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
         std::strcmp(reinterpret_cast<const char*>(node->ns->href), kSvrlNamespace) == 0 &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string text = value == nullptr ? "" : reinterpret_cast<const char*>(value);
  xmlFree(value);
  return text;
}

Finding FindingOf(const xmlNode* node) {
  Finding finding{Attribute(node, "id"), Attribute(node, "flag"), "", Attribute(node, "location")};
  if (finding.flag.empty()) finding.flag = "fatal";
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (IsSvrl(child, "text")) finding.text = OneLineText(child);
  }
  return finding;
}

}  // namespace

bool ReadSvrlReport(const std::string& path, std::vector<Finding>& findings) {
  const ParsedFile report = ParseSafely(path);
  if (!report.doc) return false;
  const xmlNode* root = xmlDocGetRootElement(report.doc.get());
  if (!IsSvrl(root, "schematron-output")) return false;
  for (const xmlNode* node = root->children; node != nullptr; node = node->next) {
    if (IsSvrl(node, "failed-assert") || IsSvrl(node, "successful-report")) {
      findings.push_back(FindingOf(node));
    }
  }
  return true;
}

}  // namespace wfdesk::validation
