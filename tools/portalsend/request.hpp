#pragma once

// The upload request, built as XML from the template: a placeholder
// ({{OPERATION}}, {{SENDER}}, {{FILENAME}}) in an element's text or an
// attribute value becomes that value, escaped as XML wants it; {{INVOICE}}
// in an element's text becomes the invoice's root element, as parsed XML.
// {{OPERATION}} may also stand in element names ("<ws:{{OPERATION}}>").
// Comments, processing instructions and CDATA sections stay as they are.

#include <libxml/tree.h>

#include <string>
#include <string_view>

#include "validation/xml_document.hpp"

namespace wfdesk::tools {

using XmlDoc = validation::Document;

struct RequestValues {
  std::string operation;
  std::string sender;
  std::string file_name;
};

// The template with the operation put into the element names that hold
// {{OPERATION}}, checked to be well-formed XML; "" with `error` when the
// operation is no valid element name (an NCName) or the template no XML.
std::string PrepareTemplate(std::string_view text, const std::string& operation,
                            std::string& error);

// An invoice's bytes as XML, read without network access and without
// expanding entities; a document type declaration is refused, as are bytes
// that are not well-formed. Null with `error` saying why.
XmlDoc ParseInvoice(std::string_view bytes, std::string& error);

// The request from a prepared template, in UTF-8; "" with `error` when the
// template cannot be read.
std::string BuildRequest(const std::string& prepared_template, const RequestValues& values,
                         xmlDoc* invoice, std::string& error);

}  // namespace wfdesk::tools
