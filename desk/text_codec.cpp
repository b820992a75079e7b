#include "desk/text_codec.hpp"

#include <QStringDecoder>
#include <array>

namespace wfdesk::desk {

namespace {

// Windows-1252 0x80..0x9F. The five bytes the code page leaves free map to
// the C1 controls of the same value, as the platform maps them, so every
// byte comes back unchanged.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromWindows1252(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

std::optional<char> ToWindows1252(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == unit) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString ignored = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  return !decoder.hasError();
}

TextEncoding DetectEncoding(std::string_view bytes) {
  return IsValidUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kWindows1252;
}

QString Decode(std::string_view bytes, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
  }
  QString text(qsizetype(bytes.size()), Qt::Uninitialized);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[qsizetype(i)] = QChar(FromWindows1252(static_cast<unsigned char>(bytes[i])));
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
    const auto byte = ToWindows1252(c.unicode());
    if (!byte) return std::nullopt;
    bytes += *byte;
  }
  return bytes;
}

}  // namespace wfdesk::desk
