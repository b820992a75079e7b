#include "desk/text_codec.hpp"

#include "core/text_encoding.hpp"

namespace wfdesk::desk {

TextEncoding DetectEncoding(std::string_view bytes) {
  return core::IsValidUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kWindows1252;
}

QString Decode(std::string_view bytes, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
  }
  QString text(qsizetype(bytes.size()), Qt::Uninitialized);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[qsizetype(i)] = QChar(core::Windows1252ToUnicode(static_cast<unsigned char>(bytes[i])));
  }
  return text;
}

QString DecodeAuto(std::string_view bytes) {
  return Decode(bytes, DetectEncoding(bytes));
}

std::optional<std::string> Encode(const QString& text, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) return text.toStdString();
  std::string bytes;
  bytes.reserve(std::size_t(text.size()));
  for (QChar c : text) {
    const auto byte = core::UnicodeToWindows1252(c.unicode());
    if (!byte) return std::nullopt;
    bytes += *byte;
  }
  return bytes;
}

}  // namespace wfdesk::desk
