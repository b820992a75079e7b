// wfdesk-portal: a small e-invoicing portal on the loopback interface, for
// the demo and the end-to-end tests. It takes SOAP uploads at any path,
// checks the user name and password (HTTP basic authentication), checks that
// the request is well-formed XML holding an invoice with a number and, when
// it says, its document type (Invoice or CreditNote; Invoice when it does not
// say), keeps what it accepted in its store folder, one file name per number,
// and answers with an acknowledgement id and the document type.
// A second upload of an invoice number is refused with HTTP 409: when the
// invoice is the same as before, the answer names the earlier
// acknowledgement id, so that the sender can count it as delivered; an
// invoice that differs from the one accepted under its number gets no id.
//
// It keeps a client's connection open for many uploads, as a sender of
// batches wants. With --delay it answers each upload that many milliseconds
// late, as a slow portal would (stored or not when the client gives up).
//
//   wfdesk-portal --store DIR --user NAME --password WORD
//                 [--port N (0: any free port)] [--port-file FILE] [--delay MS]
#include <httplib.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

#include "core/files.hpp"
#include "core/text_encoding.hpp"
#include "tools/common/switches.hpp"
#include "tools/ledgerconv/file_name.hpp"

namespace {

using namespace wfdesk;

constexpr const char* kInvoiceNamespace = "urn:wfdesk:portal:invoice:1";
constexpr std::size_t kRequestsPerConnection = 1000;

std::string Envelope(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:ws=\"urn:wfdesk:portal:ws:1\"><soapenv:Body>" +
         body + "</soapenv:Body></soapenv:Envelope>\n";
}

std::string Fault(const std::string& code, const std::string& text,
                  const std::string& detail = "") {
  return Envelope("<soapenv:Fault><faultcode>soapenv:" + code + "</faultcode><faultstring>" +
                  core::XmlEscape(text) + "</faultstring>" + detail + "</soapenv:Fault>");
}

// The first invoice element, searched depth first.
xmlNode* FindInvoice(xmlNode* node) {
  for (; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE && node->ns &&
        xmlStrEqual(node->ns->href, BAD_CAST kInvoiceNamespace) &&
        xmlStrEqual(node->name, BAD_CAST "Invoice")) {
      return node;
    }
    if (xmlNode* inner = FindInvoice(node->children)) return inner;
  }
  return nullptr;
}

struct Invoice {
  std::string number;
  std::string type;  // Invoice or CreditNote
  std::string text;  // the invoice element as written out, to tell two uploads apart
};

// An attribute of the element; `absent` when it has none of that name.
std::string Attribute(xmlNode* node, const char* name, const std::string& absent) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  std::string text = value ? reinterpret_cast<const char*>(value) : absent;
  xmlFree(value);
  return text;
}

Invoice ReadInvoice(xmlDoc* doc) {
  Invoice invoice;
  xmlNode* node = FindInvoice(xmlDocGetRootElement(doc));
  if (!node) return invoice;
  invoice.number = Attribute(node, "number", "");
  invoice.type = Attribute(node, "type", "Invoice");
  xmlBuffer* buffer = xmlBufferCreate();
  xmlNodeDump(buffer, doc, node, 0, 0);
  invoice.text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                      static_cast<std::size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  return invoice;
}

// The invoice of a well-formed request, or why there is none.
bool ReadRequest(const std::string& body, Invoice& invoice, std::string& why) {
  xmlDoc* doc = xmlReadMemory(body.data(), static_cast<int>(body.size()), "request.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) {
    const xmlError* error = xmlGetLastError();
    why = std::string("the request is not well-formed XML") +
          (error && error->message ? ": " + std::string(error->message) : "");
    while (!why.empty() && why.back() == '\n') why.pop_back();
    return false;
  }
  invoice = ReadInvoice(doc);
  xmlFreeDoc(doc);
  if (invoice.number.empty()) {
    why = std::string("the request holds no invoice (element Invoice of ") + kInvoiceNamespace +
          " with a number)";
    return false;
  }
  if (invoice.type != "Invoice" && invoice.type != "CreditNote") {
    why = "the invoice's type \"" + invoice.type + "\" is neither Invoice nor CreditNote";
    return false;
  }
  return true;
}

class Portal {
 public:
  Portal(std::string store, std::string user, std::string password, int delay_ms)
      : store_(std::move(store)),
        user_(std::move(user)),
        password_(std::move(password)),
        delay_(delay_ms) {}

  void Handle(const httplib::Request& request, httplib::Response& response) {
    std::this_thread::sleep_for(delay_);
    response.set_header("Content-Type", "text/xml; charset=utf-8");
    if (!Authorised(request)) {
      response.status = 401;
      response.set_header("WWW-Authenticate", "Basic realm=\"portal\"");
      response.set_content(Fault("Client", "user name or password is wrong"), "text/xml");
      return;
    }
    Invoice invoice;
    std::string why;
    if (!ReadRequest(request.body, invoice, why)) {
      response.status = 400;
      response.set_content(Fault("Client", why), "text/xml");
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string name = tools::EscapedFileName(invoice.number);
    const std::string base = store_ + "/" + name;
    if (core::IsPlainFile(base + ".ack")) {
      AnswerUploadedBefore(base, invoice, response);
      return;
    }
    const std::string ack =
        "ACK-" + std::to_string(std::time(nullptr)) + "-" + std::to_string(++counter_);
    // The acknowledgement last: it says that the invoice is in the store.
    if (!Store(name + ".xml", request.body) || !Store(name + ".ack", ack + "\n")) {
      response.status = 500;
      response.set_content(Fault("Server", "the portal could not store the invoice"), "text/xml");
      return;
    }
    std::cerr << "portal: accepted " << invoice.type << " " << invoice.number << " as " << ack
              << '\n';
    response.status = 200;
    response.set_content(
        Envelope("<ws:UploadInvoiceResponse>" + Acknowledgement(invoice.number, ack) +
                 "<ws:DocumentType>" + invoice.type +
                 "</ws:DocumentType><ws:State>accepted</ws:State></ws:UploadInvoiceResponse>"),
        "text/xml");
  }

 private:
  static std::string Acknowledgement(const std::string& number, const std::string& ack) {
    return "<ws:InvoiceNumber>" + core::XmlEscape(number) +
           "</ws:InvoiceNumber><ws:AcknowledgementId>" + core::XmlEscape(ack) +
           "</ws:AcknowledgementId>";
  }

  // HTTP 409; the earlier acknowledgement goes into the fault's detail only
  // when this is the invoice accepted before.
  static void AnswerUploadedBefore(const std::string& base, const Invoice& invoice,
                                   httplib::Response& response) {
    std::string earlier, stored_body, why;
    std::ifstream(base + ".ack") >> earlier;
    Invoice stored;
    (void)core::ReadFileContent(base + ".xml", stored_body);
    const bool same = ReadRequest(stored_body, stored, why) && stored.text == invoice.text;
    const std::string text = "invoice " + invoice.number + " was uploaded before" +
                             (same ? " (" + earlier + ")" : " with other content");
    const std::string detail = same ? "<detail><ws:UploadedBefore>" +
                                          Acknowledgement(invoice.number, earlier) +
                                          "</ws:UploadedBefore></detail>"
                                    : "";
    response.status = 409;
    response.set_content(Fault("Client", text, detail), "text/xml");
  }

  // A file of the store, written whole: under a hidden name first, then
  // renamed. It is not flushed: a loopback portal's store need not outlive
  // a power cut, and a flush per upload would cost more than all the rest
  // of the portal's work.
  bool Store(const std::string& name, const std::string& bytes) const {
    const std::string path = store_ + "/" + name, temporary = store_ + "/." + name + ".part";
    (void)core::RemoveOneFile(temporary);
    (void)core::RemoveOneFile(path);  // left by a portal that ended midway
    bool taken = false;
    return core::WriteNewFile(temporary, bytes) &&
           core::RenameWithoutReplacing(temporary, path, taken);
  }

  bool Authorised(const httplib::Request& request) const {
    const std::string header = request.get_header_value("Authorization");
    return header == httplib::make_basic_authentication_header(user_, password_).second;
  }

  std::string store_, user_, password_;
  std::chrono::milliseconds delay_;
  std::mutex mutex_;
  std::atomic<long> counter_{0};
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"A local e-invoicing portal for the demo and the tests (127.0.0.1 only)."};
  std::string store, user, password, port_file;
  int port = 0, delay_ms = 0;
  app.add_option("--store", store, "folder that keeps the accepted invoices")->required();
  app.add_option("--user", user, "user name")->required();
  app.add_option("--password", password, "password")->required();
  app.add_option("--port", port, "port on 127.0.0.1; 0 picks a free one");
  app.add_option("--port-file", port_file, "file to write the port into once listening");
  app.add_option("--delay", delay_ms, "milliseconds to wait before answering each upload")
      ->check(CLI::Range(0, 60000));
  CLI11_PARSE(app, argc, argv);
  if (!core::DirExists(store)) {
    std::cerr << "portal: the store folder " << store << " does not exist\n";
    return 2;
  }
  LIBXML_TEST_VERSION;
  Portal portal(store, user, password, delay_ms);
  httplib::Server server;
  // A client that sends a batch of invoices keeps one connection for it:
  // the server's default closes it after five requests. Each answer goes
  // out at once, not held back until the client acknowledges the last one.
  server.set_keep_alive_max_count(kRequestsPerConnection);
  server.set_tcp_nodelay(true);
  server.Post(".*", [&](const httplib::Request& request, httplib::Response& response) {
    portal.Handle(request, response);
  });
  const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                              : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) {
    std::cerr << "portal: cannot listen on 127.0.0.1:" << port << '\n';
    return 1;
  }
  if (!port_file.empty() && !core::WriteTextFile(port_file, std::to_string(bound) + "\n", false)) {
    std::cerr << "portal: cannot write " << port_file << '\n';
    return 1;
  }
  std::cerr << "portal: listening on http://127.0.0.1:" << bound << "/\n";
  return server.listen_after_bind() ? 0 : 1;
}
