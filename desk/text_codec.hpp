#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace wfdesk::desk {

// Files are shown as UTF-8 when they are valid UTF-8, else as Windows-1252,
// and written back in the encoding they were read in.
enum class TextEncoding { kUtf8, kWindows1252 };

TextEncoding DetectEncoding(std::string_view bytes);
QString Decode(std::string_view bytes, TextEncoding encoding);
// Decodes in the encoding the bytes are in.
QString DecodeAuto(std::string_view bytes);
// Nothing when the text holds a character the encoding cannot store.
std::optional<std::string> Encode(const QString& text, TextEncoding encoding);

}  // namespace wfdesk::desk
