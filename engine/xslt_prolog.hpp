#pragma once

// What an input declares before its root element, read before any XSLT
// engine sees the input. An invoice that names an external DTD or declares
// an external entity would have the engine read another file, or an
// address, into the transformed invoice; such an input is not transformed.

#include <string>
#include <string_view>

namespace wfdesk::engine {

// Why an input with these bytes must not be transformed, or "" when its
// prolog (the XML declaration, comments, processing instructions and a
// DOCTYPE before the root element) declares nothing from outside. Refused:
// an external DTD (DOCTYPE with SYSTEM or PUBLIC), an internal subset that
// declares an external entity or any parameter entity or refers to one,
// and a prolog that cannot be read as plain markup in UTF-8 (or another
// encoding that keeps ASCII as it is), UTF-16 or UTF-32 (with or without a
// byte order mark), as another encoding could hide a DOCTYPE from this
// reading. A plain DOCTYPE, and internal entities and attribute defaults,
// pass.
std::string RefusedProlog(std::string_view bytes);

}  // namespace wfdesk::engine
