#include "engine/xslt_builtin.hpp"

#include <libexslt/exslt.h>
#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>
#include <libxslt/extensions.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <system_error>

#include "core/files.hpp"
#include "core/process.hpp"

namespace wfdesk::engine {

namespace {

// xsltproc's exit statuses for what can go wrong with one input.
constexpr int kStylesheetUnreadable = 4;
constexpr int kStylesheetInvalid = 5;
constexpr int kInputUnreadable = 6;
constexpr int kRunError = 9;
constexpr int kRunStopped = 10;
constexpr int kRunFailed = 11;

// As xsltproc reads stylesheets and inputs; network access is refused anyway.
constexpr int kParseOptions = XSLT_PARSE_OPTIONS | XML_PARSE_NONET;

// A runaway stylesheet should not fill the log: lines past this are counted.
constexpr std::size_t kMaxMessageLines = 20;
constexpr std::size_t kMaxLineLength = 1000;

// The messages libxml2 and libxslt write in pieces, as whole lines.
class MessageLines {
 public:
  void Append(const char* format, va_list args) {
    char piece[1024];
    const int length = std::vsnprintf(piece, sizeof piece, format, args);
    if (length < 0) return;
    pending_.append(piece, std::min(std::size_t(length), sizeof piece - 1));
    for (std::size_t end = pending_.find('\n'); end != std::string::npos;
         end = pending_.find('\n')) {
      AddLine(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
    if (pending_.size() > kMaxLineLength) {
      AddLine(pending_.substr(0, kMaxLineLength));
      pending_.clear();
    }
  }
  void AddLine(const std::string& line) {
    if (line.empty()) return;
    if (lines_.size() < kMaxMessageLines) {
      lines_.push_back(line);
    } else {
      ++dropped_;
    }
  }
  std::vector<std::string> Take() {
    AddLine(pending_);
    pending_.clear();
    if (dropped_ > 0) lines_.push_back("... " + std::to_string(dropped_) + " more lines");
    dropped_ = 0;
    return std::move(lines_);
  }

 private:
  std::string pending_;
  std::vector<std::string> lines_;
  std::size_t dropped_ = 0;
};

void CollectMessage(void* lines, const char* format, ...) {
  va_list args;
  va_start(args, format);
  static_cast<MessageLines*>(lines)->Append(format, args);
  va_end(args);
}

// Sends what the libraries would write to standard error into `lines` while
// it lives. libxml2 keeps its handler per thread; libxslt's is global.
class CapturedMessages {
 public:
  explicit CapturedMessages(MessageLines& lines)
      : xml_(xmlGenericError),
        xml_context_(xmlGenericErrorContext),
        xslt_(xsltGenericError),
        xslt_context_(xsltGenericErrorContext) {
    xmlSetGenericErrorFunc(&lines, CollectMessage);
    xsltSetGenericErrorFunc(&lines, CollectMessage);
  }
  ~CapturedMessages() {
    xmlSetGenericErrorFunc(xml_context_, xml_);
    xsltSetGenericErrorFunc(xslt_context_, xslt_);
  }
  CapturedMessages(const CapturedMessages&) = delete;
  CapturedMessages& operator=(const CapturedMessages&) = delete;

 private:
  xmlGenericErrorFunc xml_;
  void* xml_context_;
  xmlGenericErrorFunc xslt_;
  void* xslt_context_;
};

// No network, and no file written by the stylesheet itself.
xsltSecurityPrefsPtr SafePrefs() {
  static const xsltSecurityPrefsPtr prefs = [] {
    xsltSecurityPrefsPtr made = xsltNewSecurityPrefs();
    for (const xsltSecurityOption option :
         {XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK, XSLT_SECPREF_WRITE_FILE,
          XSLT_SECPREF_CREATE_DIRECTORY}) {
      xsltSetSecurityPrefs(made, option, xsltSecurityForbid);
    }
    return made;
  }();
  return prefs;
}

// The libraries' process-wide set-up, once, as xsltproc does it (EXSLT and
// the test module registered), but with every entity and document loaded
// from the network refused, also by includes while compiling.
void InitialiseLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    exsltRegisterAll();
    xsltRegisterTestModule();
    xmlSetExternalEntityLoader(xmlNoNetExternalEntityLoader);
    xsltSetDefaultSecurityPrefs(SafePrefs());
  });
}

// What reading one input came to; the parser's `_private`.
struct InputGuard {
  MessageLines& lines;
  bool refused = false;
};

// An input may name local files or addresses as external entities (XXE):
// such an input is refused instead of being read with them.
void RefuseExternalEntities(void* context, const xmlChar* name, int type, const xmlChar* public_id,
                            const xmlChar* system_id, xmlChar* content) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  if (type == XML_EXTERNAL_GENERAL_PARSED_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY) {
    auto* guard = static_cast<InputGuard*>(parser->_private);
    guard->refused = true;
    guard->lines.AddLine(std::string("external entity refused: ") +
                         reinterpret_cast<const char*>(name));
    xmlStopParser(parser);
    return;
  }
  xmlSAX2EntityDecl(context, name, type, public_id, system_id, content);
}

// The external DTD an input names is not read.
void IgnoreExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

xmlDocPtr ReadInput(const std::string& path, MessageLines& lines) {
  xmlParserCtxtPtr parser = xmlNewParserCtxt();
  if (parser == nullptr) return nullptr;
  parser->sax->entityDecl = RefuseExternalEntities;
  parser->sax->externalSubset = IgnoreExternalSubset;
  InputGuard guard{lines};
  parser->_private = &guard;
  xmlDocPtr doc = xmlCtxtReadFile(parser, path.c_str(), nullptr, kParseOptions);
  xmlFreeParserCtxt(parser);
  if (doc != nullptr && guard.refused) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
  if (doc == nullptr) lines.AddLine("unable to parse " + path);
  return doc;
}

// Saves as xsltSaveResultToFilename does for xsltproc, but opens the file
// by its name as given, where libxml2 would read a name with "%" as an
// escaped address and write another file. An empty result writes nothing.
int SaveResult(xmlDocPtr result, xsltStylesheetPtr sheet, const std::string& output) {
  if (result->children == nullptr) return 0;
  const xmlChar* encoding = nullptr;
  XSLT_GET_IMPORT_PTR(encoding, sheet, encoding)
  xmlCharEncodingHandlerPtr encoder = nullptr;
  if (encoding != nullptr) {
    encoder = xmlFindCharEncodingHandler(reinterpret_cast<const char*>(encoding));
    if (encoder != nullptr && xmlStrEqual(reinterpret_cast<const xmlChar*>(encoder->name),
                                          reinterpret_cast<const xmlChar*>("UTF-8"))) {
      encoder = nullptr;
    }
  }
  FILE* file = std::fopen(output.c_str(), "wb");
  if (file == nullptr) {
    if (encoder != nullptr) xmlCharEncCloseFunc(encoder);
    return -1;
  }
  xmlOutputBufferPtr buffer = xmlOutputBufferCreateFile(file, encoder);
  int written = -1;
  if (buffer != nullptr) {
    xsltSaveResultTo(buffer, result, sheet);
    written = xmlOutputBufferClose(buffer);  // leaves the file open
  }
  return std::fclose(file) == 0 ? written : -1;
}

// Runs the stylesheet over one read input and saves the result as
// xsltRunStylesheetUser does for xsltproc, but with no output file handed
// to libxslt: the security settings forbid the stylesheet to write files.
int TransformDocument(xsltStylesheetPtr sheet, xmlDocPtr doc, const std::string& output,
                      MessageLines& lines) {
  xsltTransformContextPtr context = xsltNewTransformContext(sheet, doc);
  if (context == nullptr) return kRunFailed;
  xsltSetCtxtParseOptions(context, kParseOptions);
  xsltSetCtxtSecurityPrefs(SafePrefs(), context);
  xsltSetTransformErrorFunc(context, &lines, CollectMessage);
  int saved = -1;
  xmlDocPtr result = xsltApplyStylesheetUser(sheet, doc, nullptr, nullptr, nullptr, context);
  if (result == nullptr) {
    xsltTransformError(nullptr, nullptr, reinterpret_cast<xmlNodePtr>(doc),
                       "xsltRunStylesheet : run failed\n");
  } else {
    saved = SaveResult(result, sheet, output);
    xmlFreeDoc(result);
  }
  int status = 0;
  if (saved == -1) {
    status = kRunFailed;
  } else if (context->state == XSLT_STATE_ERROR) {
    status = kRunError;
  } else if (context->state == XSLT_STATE_STOPPED) {
    status = kRunStopped;
  }
  xsltFreeTransformContext(context);
  return status;
}

}  // namespace

struct BuiltinXslt::Compiled {
  xsltStylesheetPtr sheet = nullptr;
  ~Compiled() {
    if (sheet != nullptr) xsltFreeStylesheet(sheet);
  }
};

BuiltinXslt::BuiltinXslt(const std::string& stylesheet) : compiled_(std::make_unique<Compiled>()) {
  InitialiseLibraries();
  MessageLines lines;
  {
    CapturedMessages capture(lines);
    xmlDocPtr doc = xmlReadFile(stylesheet.c_str(), nullptr, kParseOptions);
    if (doc == nullptr) {
      lines.AddLine("cannot parse " + stylesheet);
      compile_status_ = kStylesheetUnreadable;
    } else {
      compiled_->sheet = xsltParseStylesheetDoc(doc);  // owns doc from here on
      if (compiled_->sheet == nullptr) xmlFreeDoc(doc);
      if (compiled_->sheet == nullptr || compiled_->sheet->errors != 0) {
        compile_status_ = kStylesheetInvalid;
      }
    }
  }
  compile_messages_ = lines.Take();
}

BuiltinXslt::~BuiltinXslt() = default;

BuiltinXsltResult BuiltinXslt::Transform(const std::string& input,
                                         const std::string& output) const {
  if (compile_status_ != 0) return {compile_status_, {}};
  MessageLines lines;
  int status = kInputUnreadable;
  {
    CapturedMessages capture(lines);
    if (xmlDocPtr doc = ReadInput(input, lines)) {
      status = TransformDocument(compiled_->sheet, doc, output, lines);
      xmlFreeDoc(doc);
    }
  }
  return {status, lines.Take()};
}

}  // namespace wfdesk::engine
