#pragma once

// The built-in XSLT engine: libxslt in this process, the stylesheet compiled
// once for many inputs.

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
// thread at a time, and one thread transforming in the process (libxslt's
// error handler is process-wide).
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

// One input of a module run and the output it is transformed into.
struct BuiltinXsltJob {
  std::string input;
  std::string output;
};

// What became of a job.
struct BuiltinXsltDone {
  bool stopped = false;       // a stop of the run was requested first: nothing was done
  bool output_taken = false;  // the output's name was taken: nothing was done
  bool written = false;       // the output file was written by this transformation
  BuiltinXsltResult result;
};

// Transforms a module run's inputs in their order on a thread of its own,
// one at a time and a few ahead at most, so that the next input is
// transformed while the module writes the log lines of the last one and
// archives it. Whether an output was written is decided right after its own
// transformation. A job whose output's name is taken when its turn comes is
// not transformed: no file is ever replaced.
class BuiltinXsltAhead {
 public:
  BuiltinXsltAhead(const BuiltinXslt& engine, std::vector<BuiltinXsltJob> jobs);
  // Lets the current transformation end, starts no other, waits for the thread.
  ~BuiltinXsltAhead();
  BuiltinXsltAhead(const BuiltinXsltAhead&) = delete;
  BuiltinXsltAhead& operator=(const BuiltinXsltAhead&) = delete;

  // The outcome of jobs[index], once it is done; each index once, in order.
  BuiltinXsltDone Take(std::size_t index);

 private:
  BuiltinXsltDone Do(std::size_t index) const;  // jobs[index] now, on the calling thread
  void Work();

  const BuiltinXslt& engine_;
  const std::vector<BuiltinXsltJob> jobs_;
  std::vector<BuiltinXsltDone> done_;
  std::size_t finished_ = 0;  // jobs done, guarded by mutex_
  std::size_t taken_ = 0;     // outcomes taken, guarded by mutex_
  bool cancelled_ = false;    // guarded by mutex_
  std::mutex mutex_;
  std::condition_variable progressed_;
  std::thread thread_;
};

}  // namespace wfdesk::engine
