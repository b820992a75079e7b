#include "engine/invalid_record.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <initializer_list>
#include <memory>
#include <string_view>
#include <utility>

#include "core/ascii.hpp"
#include "core/files.hpp"
#include "engine/xslt_prolog.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk::engine {

namespace {

constexpr std::string_view kUblInvoice = "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2";
constexpr std::string_view kUblCreditNote =
    "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2";
constexpr std::string_view kCbc =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2";
constexpr std::string_view kCac =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2";

using Step = std::pair<std::string_view, std::string_view>;  // namespace, local name

bool Is(const xmlNode* node, Step step) {
  return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
         reinterpret_cast<const char*>(node->ns->href) == step.first &&
         reinterpret_cast<const char*>(node->name) == step.second;
}

// The element reached from `node` through child steps, or nullptr.
const xmlNode* Path(const xmlNode* node, std::initializer_list<Step> steps) {
  for (const Step& step : steps) {
    const xmlNode* child = node ? node->children : nullptr;
    while (child && !Is(child, step)) child = child->next;
    node = child;
  }
  return node;
}

std::string TextOf(const xmlNode* node) {
  if (!node) return "";
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return std::string(core::TrimWhitespace(text));
}

std::string BuyerOf(const xmlNode* root) {
  const xmlNode* party = Path(root, {{kCac, "AccountingCustomerParty"}, {kCac, "Party"}});
  std::string buyer = TextOf(Path(party, {{kCac, "PartyName"}, {kCbc, "Name"}}));
  if (!buyer.empty()) return buyer;
  return TextOf(Path(party, {{kCac, "PartyLegalEntity"}, {kCbc, "RegistrationName"}}));
}

// The record's fields from a UBL Invoice or CreditNote; no number for
// anything else, or for a file that declares something from outside.
textdb::TransmissionRecord FactsOf(const std::string& file) {
  textdb::TransmissionRecord record;
  std::string bytes;
  if (!core::ReadFileContent(file, bytes) || !RefusedProlog(bytes).empty()) return record;
  const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
      xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      xmlFreeDoc);
  const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
  const bool credit_note = Is(root, {kUblCreditNote, "CreditNote"});
  if (!credit_note && !Is(root, {kUblInvoice, "Invoice"})) return record;
  record.number = TextOf(Path(root, {{kCbc, "ID"}}));
  record.date = TextOf(Path(root, {{kCbc, "IssueDate"}}));
  record.currency = TextOf(Path(root, {{kCbc, "DocumentCurrencyCode"}}));
  record.amount = TextOf(Path(root, {{kCac, "LegalMonetaryTotal"}, {kCbc, "PayableAmount"}}));
  record.description = textdb::RecordDescription(credit_note, record.number, BuyerOf(root));
  return record;
}

}  // namespace

std::string RecordInvalidInvoice(const std::string& database, const std::string& file) {
  textdb::TransmissionRecord record = FactsOf(file);
  if (record.number.empty()) return "no invoice number could be read";
  textdb::TransmissionIndex index;
  if (const core::FileResult loaded = textdb::TransmissionIndex::Load(database, index); !loaded) {
    return "the database cannot be read (" + loaded.error + ")";
  }
  if (const textdb::EarlierUpload* earlier = index.Find(record.number);
      earlier &&
      (earlier->state == textdb::kStateAccepted || earlier->state == textdb::kStateKept)) {
    return "invoice " + record.number + " is recorded as " + earlier->state;
  }
  record.file_name = core::FileNameOf(file);
  record.state = textdb::kStateInvalid;
  const textdb::UpsertResult written = textdb::UpsertTransmissionRecord(database, record);
  return written ? "" : written.error;
}

}  // namespace wfdesk::engine
