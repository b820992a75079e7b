#pragma once

#include <QString>

#include "core/language.hpp"

namespace wfdesk::desk {

// The text of a language key in the language of the settings.
inline QString LanguageText(const char* key, core::LanguageCode language) {
  return QString::fromStdString(core::GetLanguageText(key, language));
}

}  // namespace wfdesk::desk
