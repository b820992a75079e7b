#include "core/language.hpp"

#include <array>

namespace wfdesk::core {

namespace {

struct LanguageText {
  std::string_view key;
  std::string_view english;
  std::string_view german;
};

constexpr std::array kTexts = {
    LanguageText{"lg_menu_file001", "&File", "&Datei"},
    LanguageText{"lg_menu_file101", "&Settings...", "&Einstellungen..."},
    LanguageText{"lg_menu_help001", "&?", "&?"},
    LanguageText{"lg_menu_help103", "&About", "I&nfo"},
    LanguageText{"lg_mesg_file001", "The file ", "Die Datei "},
    LanguageText{"lg_mesg_file002", " does not exist.", " existiert nicht."},
    LanguageText{"lg_mesg_rec001", "The element ID ", "Die Element-ID "},
    LanguageText{"lg_mesg_rec002", " was not found in ", " wurde in "},
    LanguageText{"lg_mesg_rec003", ". Nothing was changed.",
                 " nicht gefunden. Es wurde nichts geändert."},
    LanguageText{"lg_mesg_rec004", "The database ", "Die Datenbank "},
    LanguageText{"lg_mesg_rec005",
                 " is being changed by another program. Nothing was changed; please try again.",
                 " wird gerade von einem anderen Programm geändert. Es wurde nichts geändert; "
                 "bitte versuchen Sie es erneut."},
    LanguageText{"lg_appl_frlb001", "Workflow Panel", "Workflow Panel"},
    LanguageText{"lg_appl_lblb001", "Log", "Log"},
    LanguageText{"lg_appl_lblb002", "Workflows", "Workflows"},
    LanguageText{"lg_appl_lblWFname", "Name", "Name"},
    LanguageText{"lg_appl_lblWFtimer", "Timer (on/off)", "Timer (ein/aus)"},
    LanguageText{"lg_appl_lblWFtimerinterval", "Interval (secs)", "Intervall (Sek)"},
    LanguageText{"lg_appl_err_NoInputFile", "ERROR: no data in specified input directory!",
                 "FEHLER: Keine Daten im angegebenen Inputverzeichnis!"},
    LanguageText{"lg_appl_err_MoveFailed", "ERROR: file move failed!",
                 "FEHLER: Datei konnte nicht verschoben werden!"},
    LanguageText{"lg_appl_err_DeleteFailed", "ERROR: file delete failed!",
                 "FEHLER: Datei konnte nicht gelöscht werden!"},
    LanguageText{"lg_appl_err_WFfailed",
                 "ERROR: Workflow could not be executed! Please read the log file!",
                 "FEHLER: Workflow konnte nicht ausgeführt werden! Bitte lesen Sie die Logdatei!"},
    LanguageText{"lg_appl_err_WFnotexists", "ERROR: specified workflow type does not exist!",
                 "FEHLER: Der angegebene Workflow Typ existiert nicht!"},
    LanguageText{"lg_appl_err_MODnotexists", "ERROR: specified module does not exist!",
                 "FEHLER: Das angegebene Modul existiert nicht!"},
    LanguageText{"lg_appl_err_RunStopped", "ERROR: the run was stopped before this module",
                 "FEHLER: Der Lauf wurde vor diesem Modul angehalten"},
    LanguageText{"lg_appl_err_NoDataDir",
                 "ERROR: no data folder set! Please enter the folder of the workflow files as "
                 "data_dir in section SETTINGS of ",
                 "FEHLER: Kein Datenverzeichnis angegeben! Bitte den Ordner der Workflow-Dateien "
                 "als data_dir im Abschnitt SETTINGS eintragen: "},
    LanguageText{"lg_appl_butt001", "Execute Workflow", "Workflow ausführen"},
    LanguageText{"lg_appl_gridhead001", "ID", "ID"},
    LanguageText{"lg_appl_gridhead002", "Converted", "Konvertiert"},
    LanguageText{"lg_appl_gridhead003", "Sender", "Sender"},
    LanguageText{"lg_appl_gridhead004", "Receiver", "Empfänger"},
    LanguageText{"lg_appl_gridhead005", "Transmission", "Übertragung"},
    LanguageText{"lg_appl_gridhead006", "Order", "Auftrag"},
};

}  // namespace

std::string GetLanguageText(std::string_view key, LanguageCode language) {
  for (const auto& text : kTexts) {
    if (text.key == key) return std::string(language == kGerman ? text.german : text.english);
  }
  return "";
}

}  // namespace wfdesk::core
