// Reads an input's prolog as an XML parser would, far enough to tell
// whether it declares anything from outside. Whatever it cannot read counts
// against the input: a reading that differs from the parser's must not let
// a declaration through.
#include "engine/xslt_prolog.hpp"

#include <cstddef>

#include "core/ascii.hpp"

namespace wfdesk::engine {

namespace {

using namespace std::string_view_literals;

constexpr int kEnd = -1;
constexpr int kNotAscii = 0x80;  // any character past ASCII: none of the markup

const std::string kUnreadable = "its beginning cannot be read as XML";

// The bytes as characters of the encoding they begin with, detected as XML
// parsers do: UTF-32 and UTF-16 by their byte order mark or by "<" (UTF-16:
// "<?") in wide units; otherwise one byte is one character.
class Characters {
 public:
  explicit Characters(std::string_view bytes) : bytes_(bytes) {
    struct Mark {
      std::string_view begins;
      std::size_t width;
      bool big_endian;
      std::size_t skip;
    };
    static constexpr Mark kMarks[] = {
        {"\0\0\xFE\xFF"sv, 4, true, 4}, {"\xFF\xFE\0\0"sv, 4, false, 4},
        {"\0\0\0<"sv, 4, true, 0},      {"<\0\0\0"sv, 4, false, 0},
        {"\xFE\xFF"sv, 2, true, 2},     {"\xFF\xFE"sv, 2, false, 2},
        {"\0<\0?"sv, 2, true, 0},       {"<\0?\0"sv, 2, false, 0},
        {"\xEF\xBB\xBF"sv, 1, false, 3}};
    for (const Mark& mark : kMarks) {
      if (!bytes.starts_with(mark.begins)) continue;
      width_ = mark.width;
      big_endian_ = mark.big_endian;
      start_ = mark.skip;
      return;
    }
  }

  // The ASCII character at `index`, kNotAscii for another, kEnd past the end.
  int At(std::size_t index) const {
    const std::size_t offset = start_ + index * width_;
    if (offset + width_ > bytes_.size()) return kEnd;
    unsigned long unit = 0;
    for (std::size_t i = 0; i < width_; ++i) {
      const std::size_t byte = big_endian_ ? i : width_ - 1 - i;
      unit = (unit << 8) | static_cast<unsigned char>(bytes_[offset + byte]);
    }
    return unit < 0x80 ? static_cast<int>(unit) : kNotAscii;
  }

  std::size_t width() const { return width_; }

 private:
  std::string_view bytes_;
  std::size_t width_ = 1;
  bool big_endian_ = false;
  std::size_t start_ = 0;
};

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// What may begin an element's name: after "<" anything else is no element.
bool IsNameStart(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c == kNotAscii;
}

// Whether a parser that reads the input in the encoding it declares sees
// the markup read here: encodings that keep ASCII as it is, for inputs of
// one byte per character, and the wide encodings found by their first bytes.
// Others (UTF-7, ISO-2022, EBCDIC, Shift_JIS, ...) could hide a DOCTYPE in
// what is read here as a comment or a processing instruction.
bool IsReadEncoding(const std::string& declared, std::size_t width) {
  static constexpr std::string_view kNarrow[] = {
      "UTF-8", "UTF8",       "US-ASCII",    "ASCII", "ISO-8859-", "ISO8859-", "ISO_8859-",
      "LATIN", "ISO-LATIN-", "WINDOWS-125", "CP125", "EUC-",      "KOI8-"};
  static constexpr std::string_view kWide2[] = {"UTF-16", "UTF16", "UCS-2", "ISO-10646-UCS-2"};
  static constexpr std::string_view kWide4[] = {"UTF-32", "UTF32", "UCS-4", "ISO-10646-UCS-4"};
  const std::string name = core::UpperAscii(declared);
  const auto starts = [&](const auto& prefixes) {
    for (const std::string_view prefix : prefixes) {
      if (name.starts_with(prefix)) return true;
    }
    return false;
  };
  if (name.empty()) return true;
  if (width == 1) return starts(kNarrow);
  return width == 2 ? starts(kWide2) : starts(kWide4);
}

// The value of the encoding the XML declaration names, "" for none.
std::string DeclaredEncoding(std::string_view declaration) {
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return "";
  at = declaration.find_first_of("\"'", at);
  if (at == std::string_view::npos) return "?";
  const std::size_t end = declaration.find(declaration[at], at + 1);
  return std::string(declaration.substr(at + 1, end - at - 1));
}

// The prolog up to the root element. Each step returns why the input is
// refused, or "".
class PrologReader {
 public:
  explicit PrologReader(std::string_view bytes) : text_(bytes) {}

  std::string Refusal() {
    if (std::string why = XmlDeclaration(); !why.empty()) return why;
    bool doctype_seen = false;
    for (;;) {
      SkipSpace();
      if (Peek() == kEnd) return "";  // no root element: the engine fails on it
      if (Next("<!--")) {
        if (!SkipPast("-->")) return kUnreadable;
      } else if (Next("<?")) {  // a processing instruction
        if (!SkipPast("?>")) return kUnreadable;
      } else if (!doctype_seen && Next("<!DOCTYPE")) {
        doctype_seen = true;
        if (std::string why = Doctype(); !why.empty()) return why;
      } else {
        // Only the root element may come now; the rest of the file is its.
        return Peek() == '<' && IsNameStart(Peek(1)) ? "" : kUnreadable;
      }
    }
  }

 private:
  int Peek(std::size_t ahead = 0) const { return text_.At(at_ + ahead); }

  // Steps over `word` when it comes next.
  bool Next(std::string_view word) {
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (Peek(i) != word[i]) return false;
    }
    at_ += word.size();
    return true;
  }

  // Whether there was any white space.
  bool SkipSpace() {
    const std::size_t from = at_;
    while (IsSpace(Peek())) ++at_;
    return at_ > from;
  }

  bool SkipPast(std::string_view end) {
    while (Peek() != kEnd) {
      if (Next(end)) return true;
      ++at_;
    }
    return false;
  }

  std::string Name() {
    std::string name;
    for (int c = Peek(); c != kEnd && !IsSpace(c) &&
                         std::string_view("[]<>\"'%").find(char(c)) == std::string_view::npos;
         c = Peek()) {
      name += c == kNotAscii ? '?' : char(c);
      ++at_;
    }
    return name;
  }

  // The rest of a markup declaration, its quoted literals included.
  bool SkipDeclaration() {
    for (int quote = 0;; ++at_) {
      const int c = Peek();
      if (c == kEnd) return false;
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '%') {  // a parameter entity reference
        return false;
      } else if (c == '>') {
        ++at_;
        return true;
      }
    }
  }

  // The XML declaration at the start, if there is one, and the encoding it
  // names: one read here, or the input is refused.
  std::string XmlDeclaration() {
    const std::size_t start = at_;
    if (!Next("<?xml") || !(IsSpace(Peek()) || Peek() == '?')) {
      at_ = start;  // no declaration, or another processing instruction ("<?xml-stylesheet")
      return "";
    }
    std::string declaration;
    for (; !Next("?>"); ++at_) {
      if (Peek() == kEnd) return kUnreadable;
      declaration += Peek() == kNotAscii ? '?' : char(Peek());
    }
    const std::string encoding = DeclaredEncoding(declaration);
    if (IsReadEncoding(encoding, text_.width())) return "";
    return "its encoding " + encoding + " is not one read before transforming";
  }

  std::string Doctype() {
    if (!SkipSpace() || Name().empty()) return kUnreadable;
    SkipSpace();
    if (Next("SYSTEM") || Next("PUBLIC")) return "it names an external DTD";
    if (Next("[")) {
      if (std::string why = InternalSubset(); !why.empty()) return why;
      SkipSpace();
    }
    return Next(">") ? "" : kUnreadable;
  }

  std::string InternalSubset() {
    for (;;) {
      SkipSpace();
      if (Next("]")) return "";
      if (Peek() == '%') return "it refers to a parameter entity";
      if (Next("<!--")) {
        if (!SkipPast("-->")) return kUnreadable;
      } else if (Next("<?")) {
        if (!SkipPast("?>")) return kUnreadable;
      } else if (Next("<!ENTITY")) {
        if (std::string why = EntityDeclaration(); !why.empty()) return why;
      } else if (!(Next("<!ELEMENT") || Next("<!ATTLIST") || Next("<!NOTATION")) ||
                 !SkipDeclaration()) {
        return kUnreadable;
      }
    }
  }

  std::string EntityDeclaration() {
    if (!SkipSpace()) return kUnreadable;
    if (Next("%")) return "it declares a parameter entity";
    const std::string name = Name();
    if (name.empty() || !SkipSpace()) return kUnreadable;
    if (Next("SYSTEM") || Next("PUBLIC")) return "it declares the external entity " + name;
    if (Peek() != '"' && Peek() != '\'') return kUnreadable;
    return SkipDeclaration() ? "" : kUnreadable;
  }

  Characters text_;
  std::size_t at_ = 0;
};

}  // namespace

std::string RefusedProlog(std::string_view bytes) {
  return PrologReader(bytes).Refusal();
}

}  // namespace wfdesk::engine
