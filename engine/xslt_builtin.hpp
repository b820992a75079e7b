#pragma once

// The built-in XSLT engine: libxslt in this process, the stylesheet compiled
// once for many inputs.

#include <memory>
#include <string>
#include <vector>

namespace wfdesk::engine {

// How the built-in engine shows in the log lines, where the other engine
// shows its program.
inline constexpr const char* kBuiltinXsltEngine = "builtin libxslt";

// One transformation, told the way `xsltproc -o OUTPUT STYLESHEET INPUT`
// would have told it.
struct BuiltinXsltResult {
  int exit_status = 0;                // the status xsltproc would have ended with
  std::vector<std::string> messages;  // what it would have written to standard error
};

// A stylesheet compiled once. Transform() reads an input, transforms it and
// saves the result byte for byte as xsltproc does (xsl:output method,
// encoding, indent, omit-xml-declaration; no file at all for an empty
// result), with these differences, for safety:
//  - nothing is read from or sent to the network;
//  - nothing is written besides the output (xsl:document, exsl:document and
//    the like fail the transformation);
//  - an input that declares an external entity is refused, and the
//    external DTD an input names is not read.
// The stylesheet's own xsl:include, xsl:import and document() read local
// files as with xsltproc. Transform is not thread-safe: one engine, one
// thread at a time.
class BuiltinXslt {
 public:
  explicit BuiltinXslt(const std::string& stylesheet);
  ~BuiltinXslt();
  BuiltinXslt(const BuiltinXslt&) = delete;
  BuiltinXslt& operator=(const BuiltinXslt&) = delete;

  // What compiling the stylesheet had to say (errors, warnings), once;
  // a stylesheet that did not compile fails every Transform.
  const std::vector<std::string>& CompileMessages() const { return compile_messages_; }

  BuiltinXsltResult Transform(const std::string& input, const std::string& output) const;

 private:
  struct Compiled;
  std::unique_ptr<Compiled> compiled_;
  int compile_status_ = 0;
  std::vector<std::string> compile_messages_;
};

}  // namespace wfdesk::engine
