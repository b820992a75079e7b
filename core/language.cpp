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
    // The window's own texts.
    LanguageText{"lg_desk_menu_refresh", "&Refresh", "&Aktualisieren"},
    LanguageText{"lg_desk_menu_records", "&Transmissions", "Ü&bertragungen"},
    LanguageText{"lg_desk_menu_records_show", "Show &transmission list",
                 "Übertragungsliste &anzeigen"},
    LanguageText{"lg_desk_menu_records_edit", "&Edit record...", "Datensatz &bearbeiten..."},
    LanguageText{"lg_desk_menu_records_toggle", "Toggle &write tag", "&Schreibmarke umschalten"},
    LanguageText{"lg_desk_menu_records_delete", "&Delete record", "Datensatz &löschen"},
    LanguageText{"lg_desk_transmissions", "Transmissions", "Übertragungen"},
    LanguageText{"lg_desk_filter", "Filter by element ID", "Filter nach Element-ID"},
    LanguageText{"lg_desk_column_id", "Element ID", "Element-ID"},
    LanguageText{"lg_desk_column_date", "Date", "Datum"},
    LanguageText{"lg_desk_column_tag", "W", "W"},
    LanguageText{"lg_desk_column_receipt", "Receipt", "Quittung"},
    LanguageText{"lg_desk_column_text", "Description", "Beschreibung"},
    LanguageText{"lg_desk_record_title", "Record %1", "Datensatz %1"},
    LanguageText{"lg_desk_record_field6", "Date (field 6)", "Datum (Feld 6)"},
    LanguageText{"lg_desk_record_field4", "Receipt (field 4)", "Quittung (Feld 4)"},
    LanguageText{"lg_desk_record_tag", "Write tag (0 or 1)", "Schreibmarke (0 oder 1)"},
    LanguageText{"lg_desk_record_encoding",
                 "The value %1 holds characters the database's encoding cannot store.",
                 "Der Wert %1 enthält Zeichen, die die Kodierung der Datenbank nicht speichern "
                 "kann."},
    LanguageText{"lg_desk_record_refused", "The value %1 was refused: %2",
                 "Der Wert %1 wurde abgelehnt: %2"},
    LanguageText{"lg_desk_status_running", "Running %1", "%1 läuft"},
    LanguageText{"lg_desk_status_module", "Running %1: %2 (%3)", "%1 läuft: %2 (%3)"},
    LanguageText{"lg_desk_status_ended", "%1 ended: %2", "%1 beendet: %2"},
    LanguageText{"lg_desk_close_running",
                 "The workflow %1 is still running. Close wfdesk as soon as it has finished?",
                 "Der Workflow %1 läuft noch. wfdesk schließen, sobald er beendet ist?"},
};

}  // namespace

std::string GetLanguageText(std::string_view key, LanguageCode language) {
  for (const auto& text : kTexts) {
    if (text.key == key) return std::string(language == kGerman ? text.german : text.english);
  }
  return "";
}

}  // namespace wfdesk::core
