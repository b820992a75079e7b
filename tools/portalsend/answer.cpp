#include "tools/portalsend/answer.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <optional>

#include "core/ascii.hpp"
#include "core/log.hpp"
#include "tools/common/switches.hpp"
#include "validation/xml_document.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::size_t kLongestAcknowledgement = 200;
constexpr std::size_t kLongestReason = 300;

struct AnswerParts {
  bool well_formed = false;
  bool fault = false;
  std::optional<std::string> acknowledgement, number, state, fault_text;
};

// Runs of white space as one blank, so that a fault's text reads as one line.
std::string OneLine(std::string_view text) {
  const std::string line = core::CollapseWhitespace(text);
  return line.size() > kLongestReason ? line.substr(0, kLongestReason) + "..." : line;
}

void TakeFirst(std::optional<std::string>& slot, xmlNode* node) {
  if (!slot) slot = validation::TrimmedText(node);
}

void Collect(xmlNode* node, AnswerParts& parts) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const std::string_view name = reinterpret_cast<const char*>(node->name);
    if (name == "Fault" || name == "Error" || name == "Errors") parts.fault = true;
    if (name == "AcknowledgementId") TakeFirst(parts.acknowledgement, node);
    if (name == "InvoiceNumber") TakeFirst(parts.number, node);
    if (name == "State") TakeFirst(parts.state, node);
    if (name == "faultstring" || name == "Text" || name == "Error") {
      TakeFirst(parts.fault_text, node);
    }
    Collect(node->children, parts);
  }
}

AnswerParts ReadAnswer(std::string_view answer) {
  AnswerParts parts;
  xmlDoc* doc = xmlReadMemory(answer.data(), static_cast<int>(answer.size()), "answer.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) return parts;
  parts.well_formed = true;
  Collect(xmlDocGetRootElement(doc), parts);
  xmlFreeDoc(doc);
  return parts;
}

// An acknowledgement goes into a record of one line per field, so it must
// be one short line of printable text.
bool UsableAcknowledgement(const std::optional<std::string>& id) {
  if (!id || id->empty() || id->size() > kLongestAcknowledgement) return false;
  for (const char c : *id) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

std::string Refusal(int http_status, const AnswerParts& parts, const std::string& what) {
  std::string reason = "HTTP " + std::to_string(http_status);
  if (parts.fault_text && !parts.fault_text->empty()) reason += ", " + OneLine(*parts.fault_text);
  return what.empty() ? reason : reason + " (" + what + ")";
}

// Why an HTTP 200 answer is no acceptance, or "" when it is one.
std::string WhyNotAccepted(const AnswerParts& parts) {
  if (!parts.well_formed) return "the answer is not well-formed XML";
  if (parts.fault) return "the answer carries a fault";
  if (!parts.acknowledgement || parts.acknowledgement->empty()) {
    return "the answer holds no acknowledgement id";
  }
  if (!UsableAcknowledgement(parts.acknowledgement)) {
    return "the acknowledgement id is not one line of text";
  }
  if (parts.state && *parts.state != "accepted") return "the state is " + OneLine(*parts.state);
  return "";
}

}  // namespace

Verdict JudgeAnswer(int http_status, std::string_view answer) {
  const AnswerParts parts = ReadAnswer(answer);
  Verdict verdict;
  verdict.invoice_number = core::EscapeControlCharacters(parts.number.value_or(""));
  if (http_status == 200) {
    const std::string why = WhyNotAccepted(parts);
    if (why.empty()) {
      verdict.outcome = Outcome::kAccepted;
      verdict.acknowledgement = *parts.acknowledgement;
    } else {
      verdict.reason = Refusal(http_status, parts, why);
    }
  } else if (http_status == 409 && UsableAcknowledgement(parts.acknowledgement)) {
    verdict.outcome = Outcome::kUploadedBefore;
    verdict.acknowledgement = *parts.acknowledgement;
  } else {
    verdict.reason =
        Refusal(http_status, parts, http_status == 409 ? "no earlier acknowledgement id" : "");
  }
  return verdict;
}

}  // namespace wfdesk::tools
