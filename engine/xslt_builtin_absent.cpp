// The built-in engine of a Windows build made without libxslt (when
// scripts/build-windows-xml has not built it): every transformation fails
// with the reason, and workflows use the xsltproc program instead.
#include "engine/xslt_builtin.hpp"

namespace wfdesk::engine {

namespace {

// xsltproc's exit status for a stylesheet it cannot read.
constexpr int kStylesheetUnreadable = 4;
constexpr const char* kAbsent = "this build has no built-in XSLT engine; use xsltproc";

}  // namespace

struct BuiltinXslt::Compiled {};

BuiltinXslt::BuiltinXslt(const std::string&)
    : compile_status_(kStylesheetUnreadable), compile_messages_{kAbsent} {}

BuiltinXslt::~BuiltinXslt() = default;

BuiltinXsltResult BuiltinXslt::Transform(const std::string&, const std::string&) const {
  return {compile_status_, {}};
}

}  // namespace wfdesk::engine
