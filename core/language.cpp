#include "core/language.hpp"

#include <array>

namespace wfdesk::core {

namespace {

struct LanguageText {
  std::string_view key;
  std::string_view english;
  std::string_view german;
};

// A fixed German text that the operators know word for word: German in
// every language.
constexpr LanguageText German(std::string_view key, std::string_view text) {
  return {key, text, text};
}

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

    // Engine: the modules' parameter checks, each put behind the section
    // name. Fixed German texts.
    German(
        "lg_mesg_mod001",
        ": Eingangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
        "und den Wert unter 'mpFile' eintragen."),
    German("lg_mesg_mod002",
           ": Eingangsverzeichnis für Daten existiert nicht! Bitte in Datei/Einstellungen die "
           "Settings öffnen und einen gültigen Pfad unter 'mpFile' eintragen."),
    German(
        "lg_mesg_mod003",
        ": Ausgangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
        "und den Wert unter 'mpFileOutPath' eintragen."),
    German("lg_mesg_mod004",
           ": Ausgangsverzeichnis für Daten existiert nicht! Bitte in Datei/Einstellungen die "
           "Settings öffnen und einen gültigen Pfad unter 'mpFileOutPath' eintragen."),
    German("lg_mesg_mod005",
           ": Dateiendung für die Ausgabedaten fehlt! Bitte in Datei/Einstellungen die Settings "
           "öffnen und den Wert unter 'mpFileOutExtension' eintragen."),
    German("lg_mesg_mod006",
           ": Zeitlimit ist ungültig! Bitte in Datei/Einstellungen die Settings öffnen und unter "
           "'mpTimeout' eine ganze Zahl von Sekunden größer 0 eintragen, oder den Parameter "
           "weglassen."),
    German("lg_mesg_mod007",
           ": Verzeichnis für die Archivierung existiert nicht! Bitte in Datei/Einstellungen die "
           "Settings öffnen und einen gültigen Pfad unter 'mpArchivePath' eintragen. Wenn die "
           "Daten nicht archiviert werden sollen, kann dieser Parameter weggelassen werden."),
    German("lg_mesg_mod008",
           ": XSLT Datei für die Transformation fehlt! Bitte in Datei/Einstellungen die Settings "
           "öffnen und den Wert unter 'mpXSLTfile' eintragen."),
    German("lg_mesg_mod009",
           ": XSLT Datei für die Transformation existiert nicht! Bitte in Datei/Einstellungen die "
           "Settings öffnen und einen gültigen Pfad zur Datei unter 'mpXSLTfile' eintragen."),
    German("lg_mesg_mod010",
           ": Webadresse für das Portal fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
           "und den Wert unter 'mpProxy' eintragen."),
    German("lg_mesg_mod011",
           ": Benutzername für das Portal fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
           "und den Wert unter 'mpUsername' eintragen."),
    German("lg_mesg_mod012",
           ": Passwort für das Portal fehlt! Bitte in Datei/Einstellungen die Settings öffnen und "
           "den Wert unter 'mpPassword' eintragen."),
    German("lg_mesg_mod013",
           ": Kein OASIS Template gefunden! Bitte in Datei/Einstellungen die Settings öffnen und "
           "unter 'mpOASISfile' (Echtbetrieb) oder unter 'mpOASISfileTest' (Testbetrieb) Pfad und "
           "Dateiname eintragen. Der Parameter 'mpTest' entscheidet, ob das Test- oder Echt- "
           "Template verwendet wird (1 = Test)."),
    German("lg_mesg_mod014",
           ": Verzeichnis für Logdateien existiert nicht! Bitte in Datei/Einstellungen die "
           "Settings öffnen und einen gültigen Pfad unter 'mpLogPath' eintragen."),
    German("lg_mesg_mod015",
           ": Verzeichnis für Acknowledgement Dateien existiert nicht! Bitte in "
           "Datei/Einstellungen die Settings öffnen und einen gültigen Pfad unter 'mpAckPath' "
           "eintragen. Wenn die Acknowledgement Dateien nicht archiviert werden sollen, kann "
           "dieser Parameter weggelassen werden."),
    German("lg_mesg_mod016",
           ": Der Pfad zu Curl exisitiert nicht! Bitte in Datei/Einstellungen die Settings öffnen "
           "und einen gültigen Pfad unter 'mpCURLpath' eintragen. Wenn Curl über die "
           "Befehlszeile ausführbar ist, wird dieser Parameter nicht benötigt."),
    German("lg_mesg_mod017",
           ": XSLT Engine ist ungültig! Bitte in Datei/Einstellungen die Settings öffnen und "
           "unter 'mpXSLTengine' den Wert builtin eintragen, oder den Parameter weglassen, um "
           "das Programm xsltproc zu verwenden."),

    // Engine: how a module's outside program ended (%1 the program), put
    // behind the section name. Fixed German texts.
    German("lg_mesg_prog001",
           ": Das Programm %1 wurde nach %2 Sekunde abgebrochen (Zeitlimit 'mpTimeout')."),
    German("lg_mesg_prog002",
           ": Das Programm %1 wurde nach %2 Sekunden abgebrochen (Zeitlimit 'mpTimeout')."),
    German("lg_mesg_prog003",
           ": Das Programm %1 wurde abgebrochen, weil der Lauf angehalten wurde (Signal %2)."),
    German("lg_mesg_prog004",
           ": Das Programm %1 wurde abgebrochen, weil der Lauf angehalten wurde."),
    German("lg_mesg_prog005",
           ": Das Programm %1 hat Daten für den nächsten Lauf zurückbehalten (Status %2); "
           "Details im Log."),
    German("lg_mesg_prog006", ": Das Programm %1 wurde mit Status %2 beendet."),
    German("lg_mesg_prog007", ": Das Programm %1 konnte nicht gestartet werden (%2)."),
    German("lg_mesg_prog008", ": Das Programm %1 hat Prozesse zurückgelassen; sie wurden beendet."),

    // Engine: inputs the XSLT module kept (%1 section, %2 of %3 files).
    // Fixed German texts.
    German("lg_mesg_xslt001",
           "%1: %2 von %3 Dateien nicht transformiert; sie bleiben im Eingangsverzeichnis."),
    German("lg_mesg_xslt002",
           "%1: %2 von %3 Dateien nicht archiviert oder gelöscht; sie bleiben "
           "im Eingangsverzeichnis."),
    // Engine: the XSLT module's outputs never replace a file, an input
    // included (xslt003 put behind the section name), and inputs it kept
    // before transforming them (%1 section, %2 of %3 files).
    LanguageText{"lg_mesg_xslt003",
                 ": Output folder is the input folder, and the output files would overwrite the "
                 "input files! Please open the settings in File/Settings and enter under "
                 "'mpFileOutPath' another folder than under 'mpFile', or choose 'mpFileMask' and "
                 "'mpFileOutExtension' so that no output file is an input file.",
                 ": Ausgangsverzeichnis ist das Eingangsverzeichnis, und die Ausgabedateien würden "
                 "die Eingangsdateien überschreiben! Bitte in Datei/Einstellungen die Settings "
                 "öffnen und unter 'mpFileOutPath' ein anderes Verzeichnis als unter 'mpFile' "
                 "eintragen, oder 'mpFileMask' und 'mpFileOutExtension' so wählen, dass keine "
                 "Ausgabedatei eine Eingangsdatei ist."},
    LanguageText{"lg_mesg_xslt004",
                 "%1: %2 of %3 files not transformed, as their output would replace another "
                 "file; they stay in the input folder.",
                 "%1: %2 von %3 Dateien nicht transformiert, weil ihre Ausgabedatei eine andere "
                 "Datei ersetzen würde; sie bleiben im Eingangsverzeichnis."},
    LanguageText{"lg_mesg_xslt005",
                 "%1: %2 of %3 files not transformed, as they name an external DTD or entity or "
                 "cannot be read as XML; they stay in the input folder.",
                 "%1: %2 von %3 Dateien nicht transformiert, weil sie eine externe DTD oder "
                 "Entität angeben oder nicht als XML lesbar sind; sie bleiben im "
                 "Eingangsverzeichnis."},

    // Engine: the invoice check (XMLvalidate). All but val006, which names
    // the section (%1) itself, are put behind the section name.
    LanguageText{"lg_mesg_val001",
                 ": Folder for invalid files is missing! Please open the settings in "
                 "File/Settings and enter the value under 'mpRejectPath'.",
                 ": Verzeichnis für ungültige Dateien fehlt! Bitte in Datei/Einstellungen die "
                 "Settings öffnen und den Wert unter 'mpRejectPath' eintragen."},
    LanguageText{"lg_mesg_val002",
                 ": Folder for invalid files does not exist! Please open the settings in "
                 "File/Settings and enter a valid path under 'mpRejectPath'.",
                 ": Verzeichnis für ungültige Dateien existiert nicht! Bitte in "
                 "Datei/Einstellungen die Settings öffnen und einen gültigen Pfad unter "
                 "'mpRejectPath' eintragen."},
    LanguageText{"lg_mesg_val003",
                 ": Folder for invalid files is the input folder, so invalid files would go on "
                 "to the next module! Please open the settings in File/Settings and enter under "
                 "'mpRejectPath' another folder than under 'mpFile'.",
                 ": Verzeichnis für ungültige Dateien ist das Eingangsverzeichnis, ungültige "
                 "Dateien gingen so an das nächste Modul weiter! Bitte in Datei/Einstellungen "
                 "die Settings öffnen und unter 'mpRejectPath' ein anderes Verzeichnis als unter "
                 "'mpFile' eintragen."},
    LanguageText{"lg_mesg_val004",
                 ": Schema file does not exist! Please open the settings in File/Settings and "
                 "enter a valid path to the file under 'mpSchemaFile', or leave the parameter "
                 "out to use the UBL 2.1 schema shipped with the program.",
                 ": Schema-Datei existiert nicht! Bitte in Datei/Einstellungen die Settings "
                 "öffnen und einen gültigen Pfad zur Datei unter 'mpSchemaFile' eintragen, oder "
                 "den Parameter weglassen, um das mitgelieferte UBL 2.1 Schema zu verwenden."},
    LanguageText{"lg_mesg_val005",
                 ": Rules file does not exist! Please open the settings in File/Settings and "
                 "enter a valid path to the file under 'mpRulesFile', or none to check the "
                 "schema only, or leave the parameter out to use the EN 16931 rules shipped "
                 "with the program.",
                 ": Regel-Datei existiert nicht! Bitte in Datei/Einstellungen die Settings "
                 "öffnen und einen gültigen Pfad zur Datei unter 'mpRulesFile' eintragen, oder "
                 "none, um nur das Schema zu prüfen, oder den Parameter weglassen, um die "
                 "mitgelieferten EN 16931 Regeln zu verwenden."},
    LanguageText{"lg_mesg_val006",
                 "%1: %2 of %3 files invalid; they are in %4, each with its report.",
                 "%1: %2 von %3 Dateien ungültig; sie liegen in %4, jede mit ihrem Bericht."},
    LanguageText{"lg_mesg_val007", ": The invoices could not be checked, so none goes on: %1",
                 ": Die Rechnungen konnten nicht geprüft werden, daher geht keine weiter: %1"},
    LanguageText{"lg_mesg_val008",
                 ": The invalid file %1 could not be moved to %2 (%3); the run stops so that it "
                 "is not sent.",
                 ": Die ungültige Datei %1 konnte nicht nach %2 verschoben werden (%3); der Lauf "
                 "wird angehalten, damit sie nicht versendet wird."},

    // Engine: the runner, its log and the workflow list.
    LanguageText{"lg_mesg_run001", "Another workflow is running. %1 was not started.",
                 "Ein anderer Workflow läuft gerade. %1 wurde nicht gestartet."},
    LanguageText{"lg_mesg_run002", "The workflow %1 is already running. It was not started again.",
                 "Der Workflow %1 läuft bereits. Er wurde nicht noch einmal gestartet."},
    LanguageText{"lg_mesg_run003", "The workflow %1 was not started: %2",
                 "Der Workflow %1 wurde nicht gestartet: %2"},
    LanguageText{"lg_mesg_run004",
                 "The log could not be written (%1). The run goes on; its lines are missing from "
                 "that log.",
                 "Die Logdatei konnte nicht geschrieben werden (%1). Der Lauf geht weiter; seine "
                 "Zeilen fehlen in dieser Logdatei."},
    LanguageText{"lg_mesg_run005", "The data folder %1 does not exist.",
                 "Das Datenverzeichnis %1 existiert nicht."},

    // Transmission database: the record actions.
    LanguageText{"lg_mesg_rec006",
                 "Record actions are not enabled for the workflow %1 (its WORKFLOW listaction is "
                 "not \"%2\"). Nothing was changed.",
                 "Datensatzaktionen sind für den Workflow %1 nicht eingeschaltet (sein WORKFLOW "
                 "listaction ist nicht \"%2\"). Es wurde nichts geändert."},
    LanguageText{"lg_mesg_rec007", "No element is chosen. Nothing was changed.",
                 "Kein Element ist ausgewählt. Es wurde nichts geändert."},
    LanguageText{"lg_mesg_rec008", "No element is chosen. Nothing was deleted.",
                 "Kein Element ist ausgewählt. Es wurde nichts gelöscht."},
    LanguageText{"lg_mesg_rec009", "Not confirmed. Nothing was deleted.",
                 "Nicht bestätigt. Es wurde nichts gelöscht."},
    LanguageText{"lg_mesg_rec010", "The value %1 was refused: %2. Nothing was changed.",
                 "Der Wert %1 wurde abgelehnt: %2. Es wurde nichts geändert."},
    LanguageText{"lg_mesg_rec011", "a double quote followed by \";\" cannot be stored in a field",
                 "ein Anführungszeichen mit folgendem \";\" kann in einem Feld nicht gespeichert "
                 "werden"},
    LanguageText{"lg_mesg_rec012", "\"|||\" cannot be stored in a field",
                 "\"|||\" kann in einem Feld nicht gespeichert werden"},
    LanguageText{"lg_mesg_rec013", "a line break cannot be stored in a field",
                 "ein Zeilenumbruch kann in einem Feld nicht gespeichert werden"},
    German("lg_mesg_rec014", "Wollen Sie das Element %1 aus der Datenbank löschen?"),

    // Command line: messages on standard error.
    LanguageText{"lg_mesg_cli001", "No workflow named.", "Kein Workflow angegeben."},
    LanguageText{"lg_mesg_cli002", "The workflow file %1 does not exist.",
                 "Die Workflow-Datei %1 existiert nicht."},
    LanguageText{"lg_mesg_cli003",
                 "wfdesk-cli: no workflow named; use /f NAME or run NAME (see --help)",
                 "wfdesk-cli: kein Workflow angegeben; /f NAME oder run NAME verwenden (siehe "
                 "--help)"},
    LanguageText{"lg_mesg_cli004", "%1 Yes (--yes)", "%1 Ja (--yes)"},

    // Schedules kept by the system's scheduler, and the window's timer.
    LanguageText{"lg_mesg_sch001", "The calendar %1 was refused: %2",
                 "Der Kalender %1 wurde abgelehnt: %2"},
    LanguageText{"lg_mesg_sch002", "it never comes round again", "er tritt nie wieder ein"},
    LanguageText{"lg_mesg_sch003",
                 "%1 cannot be scheduled: it is no file name, or too long for a unit name.",
                 "%1 kann nicht eingeplant werden: kein Dateiname, oder zu lang für einen "
                 "Unit-Namen."},
    LanguageText{"lg_mesg_sch004", "%1 runs at %2; next run: %3.",
                 "%1 läuft zu %2; nächster Lauf: %3."},
    LanguageText{"lg_mesg_sch005",
                 "The schedule of %1 is written, but no systemd user manager runs to enable it. "
                 "Enable it with:\n  %2",
                 "Der Zeitplan von %1 ist geschrieben, aber kein systemd-Benutzerdienst läuft, "
                 "der ihn einschaltet. Einschalten mit:\n  %2"},
    LanguageText{"lg_mesg_sch006", "For runs while nobody is logged in:\n  %1",
                 "Für Läufe ohne Anmeldung:\n  %1"},
    LanguageText{"lg_mesg_sch007", "%1 has no schedule. Nothing was changed.",
                 "%1 hat keinen Zeitplan. Es wurde nichts geändert."},
    LanguageText{"lg_mesg_sch008", "The schedule of %1 is removed.",
                 "Der Zeitplan von %1 ist entfernt."},
    LanguageText{"lg_mesg_sch009", "%1 failed: %2", "%1 ist fehlgeschlagen: %2"},
    LanguageText{"lg_mesg_sch010", "%1 is not installed", "%1 ist nicht installiert"},
    LanguageText{"lg_mesg_sch011", "a calendar is one line of text",
                 "ein Kalender ist eine Textzeile"},
    LanguageText{"lg_mesg_sch012", "never run", "noch nie gelaufen"},
    LanguageText{"lg_mesg_sch013", "started %1, no result", "gestartet %1, kein Ergebnis"},
    LanguageText{"lg_mesg_sch020", "running since %1", "läuft seit %1"},
    LanguageText{"lg_mesg_sch021", "systemd does not read it as a calendar (systemd: %1)",
                 "systemd liest ihn nicht als Kalender (systemd: %1)"},
    LanguageText{"lg_mesg_sch014", "not enabled", "nicht eingeschaltet"},
    LanguageText{"lg_mesg_sch015", "No workflow of this installation has a schedule.",
                 "Kein Workflow dieser Installation hat einen Zeitplan."},
    LanguageText{"lg_mesg_sch016",
                 "%1 cannot be scheduled by the task scheduler: a name with \\, /, %, control "
                 "characters, blanks at its ends or -- in front, or a name too long for a task, "
                 "cannot be handed to a task.",
                 "%1 kann von der Aufgabenplanung nicht eingeplant werden: ein Name mit \\, /, "
                 "%, Steuerzeichen, Leerzeichen an den Enden oder -- am Anfang, oder ein für "
                 "eine Aufgabe zu langer Name, kann einer Aufgabe nicht übergeben werden."},
    LanguageText{"lg_mesg_sch017",
                 "on Windows a calendar is one of: daily, hourly, HH:MM, DAYS HH:MM (DAYS such "
                 "as Mon..Fri or Mon,Wed), *:0/N (every N minutes, N divides 60)",
                 "unter Windows ist ein Kalender einer von: daily, hourly, HH:MM, TAGE HH:MM "
                 "(TAGE etwa Mon..Fri oder Mon,Wed), *:0/N (alle N Minuten, N teilt 60)"},
    LanguageText{"lg_mesg_sch018",
                 "The task %1 runs while you are logged on; for runs without a logon choose "
                 "\"Run whether user is logged on or not\" in its properties in the Task "
                 "Scheduler.",
                 "Die Aufgabe %1 läuft, während Sie angemeldet sind; für Läufe ohne Anmeldung "
                 "in ihren Eigenschaften in der Aufgabenplanung \"Unabhängig von der "
                 "Benutzeranmeldung ausführen\" wählen."},
    LanguageText{"lg_mesg_sch019",
                 "%1 cannot be named in a task of the task scheduler: it holds % or a control "
                 "character.",
                 "%1 kann in einer Aufgabe der Aufgabenplanung nicht genannt werden: der Pfad "
                 "enthält % oder ein Steuerzeichen."},
    LanguageText{"lg_mesg_cli005", "%1 No (confirm with --yes)", "%1 Nein (mit --yes bestätigen)"},

    // A new installation (wfdesk-cli init, and the window started where
    // there is none).
    LanguageText{"lg_mesg_init001", "The module program %1 is missing from %2.",
                 "Das Modulprogramm %1 fehlt in %2."},
    LanguageText{"lg_mesg_init002",
                 "xsltproc was not found on PATH; install it (Debian package xsltproc).",
                 "xsltproc wurde im PATH nicht gefunden; bitte installieren (Debian-Paket "
                 "xsltproc)."},
    LanguageText{"lg_mesg_init003", "The example installation of the package was not found.",
                 "Die Beispielinstallation des Pakets wurde nicht gefunden."},
    LanguageText{"lg_mesg_init004", "Created: %1", "Angelegt: %1"},
    LanguageText{"lg_mesg_init005", "The installation in %1 is ready.",
                 "Die Installation in %1 ist bereit."},
    LanguageText{"lg_mesg_init006",
                 "Nothing changed: the installation in %1 already holds everything.",
                 "Nichts geändert: die Installation in %1 enthält schon alles."},
    LanguageText{"lg_mesg_init007", "The installation in %1 is not complete.",
                 "Die Installation in %1 ist nicht vollständig."},
    LanguageText{"lg_mesg_init008", "There is no installation in %1; wfdesk-cli init creates one.",
                 "In %1 gibt es keine Installation; wfdesk-cli init legt eine an."},
    LanguageText{"lg_mesg_init009",
                 "The installation in %1 is in use: the example's exports, invoices and "
                 "database were not copied into it.",
                 "Die Installation in %1 ist in Gebrauch: die Exporte, Rechnungen und die "
                 "Datenbank des Beispiels wurden nicht hineinkopiert."},
    LanguageText{"lg_desk_init_title", "New installation", "Neue Installation"},
    LanguageText{"lg_desk_init_ask", "There is no installation in %1 yet. Create one there?",
                 "In %1 gibt es noch keine Installation. Dort eine anlegen?"},
    LanguageText{"lg_desk_init_language", "Language", "Sprache"},
    LanguageText{"lg_desk_init_example", "With the example workflows",
                 "Mit den Beispiel-Workflows"},
    LanguageText{"lg_desk_init_cancel", "Cancel", "Abbrechen"},
    LanguageText{"lg_desk_init_failed", "The installation in %1 could not be created.",
                 "Die Installation in %1 konnte nicht angelegt werden."},

    // Core: why a file could not be written or moved.
    LanguageText{"lg_mesg_file003", "The file %1 is read-only",
                 "Die Datei %1 ist schreibgeschützt"},
    LanguageText{"lg_mesg_file004", "Cannot move %1: a name pattern names no single file",
                 "%1 kann nicht verschoben werden: ein Namensmuster benennt keine einzelne Datei"},
    LanguageText{"lg_mesg_file005", "Cannot move %1: %2 and all its numbered names are taken",
                 "%1 kann nicht verschoben werden: %2 und alle nummerierten Namen dazu sind "
                 "belegt"},

    // Core: why the operating system refused a file or process operation
    // (the last value is the system's own reason).
    LanguageText{"lg_mesg_sys001", "Cannot move %1 to %2: %3",
                 "%1 kann nicht nach %2 verschoben werden: %3"},
    LanguageText{"lg_mesg_sys002", "Cannot create %1: %2", "%1 kann nicht angelegt werden: %2"},
    LanguageText{"lg_mesg_sys003", "Cannot list %1: %2", "%1 kann nicht aufgelistet werden: %2"},
    LanguageText{"lg_mesg_sys004", "Cannot read %1: %2", "%1 kann nicht gelesen werden: %2"},
    LanguageText{"lg_mesg_sys005", "Cannot write %1: %2", "%1 kann nicht geschrieben werden: %2"},
    LanguageText{"lg_mesg_sys006", "Cannot write to a file without a name",
                 "Eine Datei ohne Namen kann nicht geschrieben werden"},
    LanguageText{"lg_mesg_sys007", "Cannot flush %1: %2",
                 "%1 kann nicht auf die Platte geschrieben werden: %2"},
    LanguageText{"lg_mesg_sys008", "Cannot delete %1: %2", "%1 kann nicht gelöscht werden: %2"},
    LanguageText{"lg_mesg_sys009", "Cannot create a file beside %1: %2",
                 "Neben %1 kann keine Datei angelegt werden: %2"},
    LanguageText{"lg_mesg_sys010", "Cannot copy %1 to %2: %3",
                 "%1 kann nicht nach %2 kopiert werden: %3"},
    LanguageText{"lg_mesg_sys011", "Cannot create the lock file %1: %2",
                 "Die Sperrdatei %1 kann nicht angelegt werden: %2"},
    LanguageText{"lg_mesg_sys012", "Cannot lock %1: %2", "%1 kann nicht gesperrt werden: %2"},
    LanguageText{"lg_mesg_sys013", "the run was asked to stop", "der Lauf sollte anhalten"},
    LanguageText{"lg_mesg_sys014", "lost track of the process: %1",
                 "der Prozess ist nicht mehr auffindbar: %1"},
    LanguageText{"lg_mesg_sys015", "Cannot enter the folder %1: %2",
                 "In das Verzeichnis %1 kann nicht gewechselt werden: %2"},
    // The window's own texts.
    LanguageText{"lg_desk_menu_refresh", "&Refresh", "&Aktualisieren"},
    LanguageText{"lg_desk_menu_exit", "E&xit", "&Beenden"},
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
    LanguageText{"lg_desk_records_missing", "The database %1 does not exist.",
                 "Die Datenbank %1 existiert nicht."},
    LanguageText{"lg_desk_records_unreadable", "The database %1 cannot be read: %2",
                 "Die Datenbank %1 kann nicht gelesen werden: %2"},
    LanguageText{"lg_desk_records_none",
                 "No database is set: neither the workflow's dbfile nor the settings' textdb.",
                 "Keine Datenbank eingestellt: weder dbfile im Workflow noch textdb in den "
                 "Einstellungen."},
    LanguageText{"lg_desk_record_title", "Record %1", "Datensatz %1"},
    LanguageText{"lg_desk_record_file", "File", "Datei"},
    LanguageText{"lg_desk_record_text", "Text", "Text"},
    LanguageText{"lg_desk_record_amount", "Amount payable", "Zahlbetrag"},
    LanguageText{"lg_desk_record_currency", "Currency", "Währung"},
    LanguageText{"lg_desk_record_formats", "Sent from / as", "Gesendet von / als"},
    LanguageText{"lg_desk_record_state", "State", "Status"},
    LanguageText{"lg_desk_record_field6", "Invoice date (field 6)", "Rechnungsdatum (Feld 6)"},
    LanguageText{"lg_desk_record_field4", "Acknowledgement (field 4)",
                 "Empfangsbestätigung (Feld 4)"},
    LanguageText{"lg_desk_record_tag", "Write tag (0 or 1)", "Schreibmarke (0 oder 1)"},
    LanguageText{"lg_desk_record_tag_refused", "The write tag %1 was refused: it is 0 or 1.",
                 "Die Schreibmarke %1 wurde abgelehnt: sie ist 0 oder 1."},
    LanguageText{"lg_desk_record_encoding",
                 "The value %1 holds characters the database's encoding cannot store.",
                 "Der Wert %1 enthält Zeichen, die die Kodierung der Datenbank nicht speichern "
                 "kann."},
    LanguageText{"lg_desk_record_refused", "The value %1 was refused: %2",
                 "Der Wert %1 wurde abgelehnt: %2"},
    LanguageText{"lg_desk_record_report", "Show &report", "&Bericht anzeigen"},
    LanguageText{"lg_desk_report_title", "Report %1", "Bericht %1"},
    LanguageText{"lg_desk_editor_none", "No workflow selected", "Kein Workflow ausgewählt"},
    LanguageText{"lg_desk_editor_changed", "changed", "geändert"},
    LanguageText{"lg_desk_editor_saved", "saved", "gespeichert"},
    LanguageText{"lg_desk_editor_no_file",
                 "No workflow is selected, so there is no file to save to.",
                 "Kein Workflow ist ausgewählt, es gibt also keine Datei zum Speichern."},
    LanguageText{"lg_desk_editor_encoding",
                 "The text holds characters that Windows-1252, the encoding of %1, cannot store. "
                 "Nothing was saved.",
                 "Der Text enthält Zeichen, die Windows-1252, die Kodierung von %1, nicht "
                 "speichern kann. Es wurde nichts gespeichert."},
    LanguageText{"lg_desk_editor_file_gone", "The file %1 no longer exists. Create it again?",
                 "Die Datei %1 existiert nicht mehr. Neu anlegen?"},
    LanguageText{"lg_desk_editor_changed_outside",
                 "The file %1 was changed by another program since it was opened here. Replace "
                 "its changes with this text?",
                 "Die Datei %1 wurde seit dem Öffnen von einem anderen Programm geändert. Dessen "
                 "Änderungen durch diesen Text ersetzen?"},
    LanguageText{"lg_desk_editor_not_saved", "%1. Nothing was saved.",
                 "%1. Es wurde nichts gespeichert."},
    LanguageText{"lg_desk_editor_close_ask", "Save the changes to %1?",
                 "Die Änderungen an %1 speichern?"},
    LanguageText{"lg_desk_menu_schedule", "S&chedule...", "&Zeitplan..."},
    LanguageText{"lg_desk_schedule_title", "Schedule of %1", "Zeitplan von %1"},
    LanguageText{"lg_desk_schedule_prompt",
                 "When the system runs %1, in systemd's calendar syntax (for example "
                 "Mon..Fri 06:00, daily, *:0/15). Empty removes the schedule.",
                 "Wann das System %1 ausführt, in der Kalendersyntax von systemd (zum Beispiel "
                 "Mon..Fri 06:00, daily, *:0/15). Leer entfernt den Zeitplan."},
    LanguageText{"lg_desk_schedule_prompt_tasks",
                 "When the task scheduler runs %1: daily, hourly, HH:MM, DAYS HH:MM (for example "
                 "Mon..Fri 06:00 or Mon,Wed 18:30) or *:0/N (every N minutes, N divides 60).\n"
                 "Empty removes the schedule.",
                 "Wann die Aufgabenplanung %1 ausführt: daily, hourly, HH:MM, TAGE HH:MM (zum "
                 "Beispiel Mon..Fri 06:00 oder Mon,Wed 18:30) oder *:0/N (alle N Minuten, N "
                 "teilt 60).\nLeer entfernt den Zeitplan."},
    LanguageText{"lg_desk_schedule_no_runner",
                 "A schedule starts wfdesk-cli, which is neither beside wfdesk nor on PATH. "
                 "Nothing was scheduled.",
                 "Ein Zeitplan startet wfdesk-cli, das weder neben wfdesk noch im PATH liegt. "
                 "Es wurde nichts eingeplant."},
    LanguageText{"lg_desk_schedule_none", "No schedule", "Kein Zeitplan"},
    LanguageText{"lg_desk_workflow_gone", "The workflow file %1 no longer exists.",
                 "Die Workflow-Datei %1 existiert nicht mehr."},
    LanguageText{"lg_desk_data_folder_gone", "The data folder %1 no longer exists.",
                 "Der Datenordner %1 existiert nicht mehr."},
    LanguageText{"lg_desk_schedule_window", "Window timer: every %1 s", "Fenster-Timer: alle %1 s"},
    LanguageText{"lg_desk_schedule_system", "System schedule: %1, next run %2",
                 "Systemzeitplan: %1, nächster Lauf %2"},
    LanguageText{"lg_desk_schedule_system_off", "System schedule: %1 (not enabled)",
                 "Systemzeitplan: %1 (nicht eingeschaltet)"},
    LanguageText{"lg_desk_timer_skipped", "Window timer: %1 was not started, a run is still going.",
                 "Fenster-Timer: %1 wurde nicht gestartet, ein Lauf ist noch im Gang."},
    LanguageText{"lg_desk_status_running", "Running %1", "%1 läuft"},
    LanguageText{"lg_desk_status_module", "Running %1: %2 (%3)", "%1 läuft: %2 (%3)"},
    LanguageText{"lg_desk_status_ended", "%1 ended: %2", "%1 beendet: %2"},
    LanguageText{"lg_desk_close_running",
                 "The workflow %1 is still running. Close wfdesk as soon as it has finished?",
                 "Der Workflow %1 läuft noch. wfdesk schließen, sobald er beendet ist?"},
    LanguageText{"lg_desk_panel_mark", "Scheduled", "Geplant"},
    LanguageText{"lg_desk_panel_mark_tip", "Starts by itself: %1", "Startet von selbst: %1"},
    LanguageText{"lg_desk_panel_mark_timer", "window timer", "Fenster-Timer"},
    LanguageText{"lg_desk_panel_mark_system", "system schedule", "Systemzeitplan"},
};

}  // namespace

std::string GetLanguageText(std::string_view key, LanguageCode language) {
  for (const auto& text : kTexts) {
    if (text.key == key) return std::string(language == kGerman ? text.german : text.english);
  }
  return "";
}

std::string FormatLanguageText(std::string_view key, LanguageCode language,
                               std::initializer_list<std::string_view> values) {
  const std::string text = GetLanguageText(key, language);
  std::string filled;
  filled.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool placeholder =
        text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9';
    const std::size_t number = placeholder ? std::size_t(text[i + 1] - '1') : values.size();
    if (number < values.size()) {
      filled += values.begin()[number];
      ++i;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

std::vector<std::string_view> LanguageKeys() {
  std::vector<std::string_view> keys;
  for (const auto& text : kTexts) keys.push_back(text.key);
  return keys;
}

}  // namespace wfdesk::core
