// XSLTproc with the real xsltproc and with the built-in engine: the input
// selection, what becomes of the inputs, the success test, and a processor
// that cannot be started.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files.hpp"
#include "engine/workflow.hpp"
#include "engine/xslt_prolog.hpp"
#include "tests/support/installation.hpp"

namespace wfdesk::engine {
namespace {

using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::TestInstallation;

// A stylesheet that writes "[" + the value of `select` + "]" as text.
std::string TextOf(const std::string& select) {
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:output method=\"text\"/><xsl:template match=\"/\">[<xsl:value-of select=\"" +
         select + "\"/>]</xsl:template></xsl:stylesheet>";
}

// The text in UTF-16, little-endian, with its byte order mark.
std::string Utf16(const std::string& ascii) {
  std::string wide = "\xFF\xFE";
  for (const char c : ascii) wide += std::string{c, '\0'};
  return wide;
}

// Runs with the processor ("") or with the engine an mpXSLTengine value names.
class XsltModuleTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_EQ(::symlink(WFDESK_XSLTPROC, inst.Path("modules/xsltproc").c_str()), 0);
    inst.box().Write("etc/to-text.xsl", TextOf("/invoice/@id"));
  }
  // data/x.ini with these keys and then the `next` modules; the first
  // occurrence of a key wins, so `keys` override the defaults.
  void Write(const std::string& keys, const std::string& next = "") {
    inst.Workflow("x.ini",
                  "[MOD001]\r\nmtype=XSLTproc\r\n" + keys + EngineKey() +
                      "mpFileOutPath=out\r\nmpFileOutExtension=txt\r\n"
                      "mpXSLTfile=to-text.xsl\r\n" +
                      next,
                  "logfile=run.log\r\n");
  }
  std::string Run(const std::string& keys, const std::string& next = "") {
    Write(keys, next);
    return WorkflowRunner().RunWorkflow(inst.context(), "x.ini").result;
  }
  // Empties in, out, archive and the run log, for the next case of a table.
  void ClearFolders() {
    for (const char* folder : {"in", "out", "archive"}) {
      for (const std::string& name : core::FolderFileNames(inst.Path(folder))) {
        std::remove(inst.Path(std::string(folder) + "/" + name).c_str());
      }
    }
    inst.box().Write("run.log", "");
  }
  std::string EngineKey() const {
    return GetParam().empty() ? "" : "mpXSLTengine=" + GetParam() + "\r\n";
  }
  bool Builtin() const { return !GetParam().empty(); }
  void Invoice(const std::string& name, const std::string& id) {
    inst.box().Write("in/" + name, "<invoice id=\"" + id + "\"/>");
  }
  TestInstallation inst;
};

TEST_P(XsltModuleTest, TransformsTheMaskedFilesInOrderAndDeletesThem) {
  for (const char* name : {"b.xml", "A.XML", "c.dat", ".hidden.xml"}) Invoice(name, name);
  ASSERT_EQ(Run("mpFile=in\r\nmpFileMask=*.xml\r\n"), "OK");
  EXPECT_EQ(inst.box().Read("out/A.txt"), "[A.XML]");
  EXPECT_EQ(inst.box().Read("out/b.txt"), "[b.xml]");
  EXPECT_EQ(core::FolderFileNames(inst.Path("in")), std::vector<std::string>{"c.dat"});
  EXPECT_TRUE(inst.box().Exists("in/.hidden.xml"));
  const std::string in = inst.Path("in/"), out = inst.Path("out/");
  EXPECT_THAT(inst.FirstModuleLines("run.log"),
              ElementsAre(" START: XSLTproc (data/x.ini)",
                          " File transformed: [OK] " + in + "A.XML to " + out + "A.txt",
                          " Input File deleted: " + in + "A.XML",
                          " File transformed: [OK] " + in + "b.xml to " + out + "b.txt",
                          " Input File deleted: " + in + "b.xml", " END: XSLTproc (data/x.ini)"));
  // The processor's own lines go to the system log; the built-in engine's
  // read the same, naming the engine instead of the program.
  const auto system = inst.LogMessages("system.log");
  const std::string engine =
      Builtin() ? "builtin libxslt" : "\"" + inst.Path("modules/xsltproc") + "\"";
  EXPECT_EQ(system[0], "XSLT COMMAND: " + engine + " -o \"" + out + "A.txt\" \"" +
                           inst.Path("etc/to-text.xsl") + "\" \"" + in + "A.XML\"");
  EXPECT_EQ(system[1], "XSLT ERROR: 1");
  EXPECT_EQ(system[2], "XSLT EXIT: 0");
  EXPECT_EQ(system[3], "xsl transformation executed [1]: " + inst.Path("etc/to-text.xsl") + " -> " +
                           out + "A.txt");
}

TEST_P(XsltModuleTest, AFailedFileStaysAndFailsTheRunButNotTheChain) {
  Invoice("a.xml", "1");
  inst.box().Write("in/b.xml", "<broken");
  const std::string kept =
      "MOD001: 1 von 2 Dateien nicht transformiert; sie bleiben im Eingangsverzeichnis.";
  ASSERT_EQ(Run("mpFile=in\r\n"), kept);
  EXPECT_EQ(inst.box().Read("out/a.txt"), "[1]");
  EXPECT_EQ(core::FolderFileNames(inst.Path("in")), std::vector<std::string>{"b.xml"});
  EXPECT_THAT(
      inst.FirstModuleLines("run.log"),
      ElementsAre(_, _, " Input File deleted: " + inst.Path("in/a.xml"),
                  HasSubstr("File transformed: [ ERROR: xsl transformation NOT executed! ["),
                  " Input File kept after a failed transformation: " + inst.Path("in/b.xml"),
                  " ERROR: " + kept, " END: XSLTproc (data/x.ini)"));

  // With an archive only the good file is archived, and the next module runs.
  ClearFolders();
  Invoice("a.xml", "1");
  inst.box().Write("in/b.xml", "<broken");
  inst.FakeProgram("mod_ledgerconv001_x86_32");
  EXPECT_EQ(Run("mpFile=in\r\nmpArchivePath=archive\r\n",
                "[MOD002]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\n"
                "mpFileOutExtension=xml\r\n"),
            kept);
  EXPECT_EQ(core::FolderFileNames(inst.Path("archive")), std::vector<std::string>{"a.xml"});
  EXPECT_EQ(inst.box().Read("in/b.xml"), "<broken");
  EXPECT_EQ(inst.Calls("mod_ledgerconv001_x86_32").size(), 1u);
  EXPECT_EQ(inst.LogMessages("system.log").rbegin()[1], "WORKFLOW END: " + kept);
}

TEST_P(XsltModuleTest, AProcessorThatWritesNothingFailsTheFile) {
  if (Builtin()) GTEST_SKIP() << "a processor of its own";
  ASSERT_EQ(::unlink(inst.Path("modules/xsltproc").c_str()), 0);
  inst.Script("xsltproc", "exit 0");
  Invoice("a.xml", "A");
  EXPECT_EQ(Run("mpFile=in\r\nmpArchivePath=archive\r\n"),
            "MOD001: 1 von 1 Dateien nicht transformiert; sie bleiben im Eingangsverzeichnis.");
  EXPECT_THAT(inst.FirstModuleLines("run.log").at(1),
              HasSubstr("[ ERROR: xsl transformation NOT executed!"));
  EXPECT_TRUE(inst.box().Exists("in/a.xml"));
  EXPECT_FALSE(inst.box().Exists("archive/a.xml"));
}

// The result when one of `files` was kept as its output would replace another file.
std::string NotReplaced(const std::string& files) {
  return "MOD001: 1 of " + files +
         " files not transformed, as their output would replace another file; they stay in the "
         "input folder.";
}

// Two inputs with one output name, or a file that waits in the output
// folder for the next module (say the portal was down): the earlier file
// stays, and so does the input that would have replaced it.
TEST_P(XsltModuleTest, AnOutputNeverReplacesAnotherFile) {
  // Invoices 1 and 2 (none when ""), and a file waiting in out ("" for none).
  const struct {
    std::string what, first, second, waiting, output, archived, kept;
    std::string why;  // from the kept input's output on
  } kCases[] = {
      {"one base name", "a.1.xml", "a.2.xml", "", "a.txt", "a.1.xml", "a.2.xml",
       "out/a.txt would replace the output of " + inst.Path("in/a.1.xml")},
      {"names differing in case", "B.1.xml", "b.2.xml", "", "B.txt", "B.1.xml", "b.2.xml",
       "out/b.txt would replace the output of " + inst.Path("in/B.1.xml")},
      {"a waiting file", "w.xml", "", "w.txt", "w.txt", "", "w.xml",
       "out/w.txt would replace a file that waits in the output folder"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ClearFolders();
    Invoice(c.first, "1");
    if (!c.second.empty()) Invoice(c.second, "2");
    if (!c.waiting.empty()) inst.box().Write("out/" + c.waiting, "waiting");
    EXPECT_EQ(Run("mpFile=in\r\nmpArchivePath=archive\r\n"),
              NotReplaced(c.second.empty() ? "1" : "2"));
    EXPECT_EQ(core::FolderFileNames(inst.Path("out")), std::vector<std::string>{c.output});
    EXPECT_EQ(inst.box().Read("out/" + c.output), c.waiting.empty() ? "[1]" : "waiting");
    EXPECT_EQ(core::FolderFileNames(inst.Path("archive")),
              c.archived.empty() ? std::vector<std::string>{} : std::vector{c.archived});
    EXPECT_EQ(core::FolderFileNames(inst.Path("in")), std::vector<std::string>{c.kept});
    EXPECT_THAT(inst.FirstModuleLines("run.log"),
                Contains(" Input File kept, its output " + inst.Path(c.why) + ": " +
                         inst.Path("in/" + c.kept)));
  }
}

// xsltproc would write through the link into the input, which is then
// deleted.
TEST_P(XsltModuleTest, AnOutputThatIsAnInputIsNotWritten) {
  Invoice("x.xml", "X");
  ASSERT_EQ(::symlink(inst.Path("in/x.xml").c_str(), inst.Path("out/x.txt").c_str()), 0);
  EXPECT_EQ(Run("mpFile=in\r\n"), NotReplaced("1"));
  EXPECT_EQ(inst.box().Read("in/x.xml"), "<invoice id=\"X\"/>");
  EXPECT_THAT(inst.FirstModuleLines("run.log"),
              Contains(" Input File kept, its output " + inst.Path("out/x.txt") +
                       " is an input file of this run: " + inst.Path("in/x.xml")));
}

// An output folder that is the input folder, however spelt, where the
// input selection takes names of outputs: inputs would be transformed over
// themselves or each other and then deleted. The check and the run refuse
// it, touching nothing.
TEST_P(XsltModuleTest, AnOutputFolderThatIsTheInputFolderIsRefusedWhenOutputsWouldBeInputs) {
  ASSERT_EQ(::symlink(inst.Path("in").c_str(), inst.Path("in-link").c_str()), 0);
  const std::string refused =
      "MOD001: Output folder is the input folder, and the output files would overwrite the input "
      "files! Please open the settings in File/Settings and enter under 'mpFileOutPath' another "
      "folder than under 'mpFile', or choose 'mpFileMask' and 'mpFileOutExtension' so that no "
      "output file is an input file.";
  const struct {
    std::string keys;
    bool refused;
  } kCases[] = {
      {"mpFile=in\r\nmpFileOutPath=in\r\nmpFileOutExtension=xml\r\n", true},
      {"mpFile=in\r\nmpFileOutPath=in-link/\r\nmpFileOutExtension=XML\r\n", true},
      {"mpFile=in/../in/\r\nmpFileOutPath=" + inst.Path("in") +
           "\r\nmpFileOutExtension=xml\r\nmpFileMask=*.xml\r\n",
       true},
      {"mpFile=in/x.xml\r\nmpFileOutPath=in\r\nmpFileOutExtension=xml\r\n", true},
      // Every name is taken, x.txt too: it would be transformed over itself next time.
      {"mpFile=in\r\nmpFileOutPath=in\r\nmpFileOutExtension=txt\r\n", true},
      {"mpFile=in\r\nmpFileOutPath=in\r\nmpFileOutExtension=out.xml\r\nmpFileMask=x?o*\r\n", true},
      {"mpFile=in\r\nmpFileOutPath=in\r\nmpFileOutExtension=txt\r\nmpFileMask=*.xml\r\n", false},
      {"mpFile=in\r\nmpFileOutPath=in\r\nmpFileOutExtension=xml\r\nmpFileMask=*.out.xml\r\n",
       false},
      {"mpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.keys);
    ClearFolders();
    Invoice("x.xml", "X");
    Invoice("x.out.xml", "O");
    Write(c.keys);
    const std::vector<std::string> problems = CheckWorkflow(inst.context(), "x.ini");
    if (!c.refused) {
      EXPECT_THAT(problems, ::testing::IsEmpty());
      continue;
    }
    EXPECT_THAT(problems, ElementsAre(refused));
    EXPECT_EQ(Run(c.keys), refused);
    EXPECT_EQ(inst.box().Read("in/x.xml"), "<invoice id=\"X\"/>");
    EXPECT_EQ(inst.box().Read("in/x.out.xml"), "<invoice id=\"O\"/>");
  }
  // What the check lets through: x.out.xml would be transformed over x.xml.
  ClearFolders();
  Invoice("x.xml", "X");
  Invoice("x.out.xml", "O");
  EXPECT_THAT(Run(kCases[7].keys), HasSubstr("1 of 1 files not transformed"));
  EXPECT_EQ(inst.box().Read("in/x.xml"), "<invoice id=\"X\"/>");
  EXPECT_EQ(inst.box().Read("in/x.out.xml"), "<invoice id=\"O\"/>");
}

// An invoice that declares an external entity would carry the file it names
// to the portal; xsltproc would read it in. Which prologs are refused is
// XsltPrologTest's; here, what becomes of the file either way.
TEST_P(XsltModuleTest, InputsDeclaringExternalEntitiesAreKeptUnread) {
  const std::string secret = inst.box().Write("secret.txt", "TOPSECRET");
  inst.box().Write("etc/text-of.xsl", TextOf("/invoice"));
  const std::string invoice = Utf16(
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?><!DOCTYPE invoice "
      "[<!ENTITY s SYSTEM \"file://" +
      secret + "\">]><invoice>&s;</invoice>");
  inst.box().Write("in/inv.xml", invoice);
  EXPECT_EQ(Run("mpFile=in\r\nmpXSLTfile=text-of.xsl\r\n"),
            "MOD001: 1 of 1 files not transformed, as they name an external DTD or entity or "
            "cannot be read as XML; they stay in the input folder.");
  EXPECT_EQ(inst.box().Read("in/inv.xml"), invoice);
  EXPECT_THAT(core::FolderFileNames(inst.Path("out")), ::testing::IsEmpty());
  EXPECT_THAT(
      inst.FirstModuleLines("run.log"),
      Contains(" Input File kept, it declares the external entity s: " + inst.Path("in/inv.xml")));
  // Internal entities and attribute defaults that merely say SYSTEM pass.
  inst.box().Write("in/inv.xml",
                   "<!DOCTYPE invoice [<!ENTITY s \"SYSTEM text\"><!ATTLIST invoice v CDATA "
                   "\"&s;>\">]><invoice>&s;</invoice>");
  EXPECT_EQ(Run("mpFile=in\r\nmpXSLTfile=text-of.xsl\r\n"), "OK");
  EXPECT_EQ(inst.box().Read("out/inv.txt"), "[SYSTEM text]");
}

TEST_P(XsltModuleTest, AnEmptyFolderStartsNothingAndAnMpFileThatNamesAFileTransformsThatFile) {
  ASSERT_EQ(Run("mpFile=in\r\n"), "OK");
  EXPECT_EQ(inst.FirstModuleLines("run.log").size(), 2u);
  EXPECT_EQ(inst.LogMessages("system.log").size(), 2u);  // only the closing lines
  Invoice("one.xml", "1");
  Invoice("two.xml", "2");
  ASSERT_EQ(Run("mpFile=in/two.xml\r\n"), "OK");
  EXPECT_EQ(core::FolderFileNames(inst.Path("out")), std::vector<std::string>{"two.txt"});
  EXPECT_EQ(inst.box().Read("out/two.txt"), "[2]");
}

TEST_P(XsltModuleTest, AProcessorThatCannotStartFailsAtTheFirstFileAndKeepsTheInputs) {
  std::remove(inst.Path("modules/xsltproc").c_str());
  Invoice("a.xml", "A");
  Invoice("b.xml", "B");
  const std::string result = Run("mpFile=in\r\nmpArchivePath=archive\r\n");
  if (Builtin()) {  // which needs no program
    EXPECT_EQ(result, "OK");
    EXPECT_EQ(core::FolderFileNames(inst.Path("archive")),
              (std::vector<std::string>{"a.xml", "b.xml"}));
    return;
  }
  EXPECT_EQ(result, "MOD001: Das Programm " + inst.Path("modules/xsltproc") +
                        " konnte nicht gestartet werden (No such file or directory).");
  EXPECT_EQ(core::FolderFileNames(inst.Path("in")), (std::vector<std::string>{"a.xml", "b.xml"}));
  EXPECT_THAT(inst.LogMessages("system.log"), ::testing::Contains("XSLT ERROR: 0"));
  EXPECT_THAT(inst.FirstModuleLines("run.log"),
              ElementsAre(" START: XSLTproc (data/x.ini)", " ERROR: " + result));
}

TEST_P(XsltModuleTest, AnUnknownEngineFailsTheChecksAndStylesheetChecksPreferTheEtcFolder) {
  Invoice("a.xml", "E");
  EXPECT_EQ(Run("mpFile=in\r\nmpXSLTengine=Builtin\r\n"),
            "MOD001: XSLT Engine ist ungültig! Bitte in Datei/Einstellungen die Settings öffnen "
            "und unter 'mpXSLTengine' den Wert builtin eintragen, oder den Parameter weglassen, "
            "um das Programm xsltproc zu verwenden.");
  EXPECT_FALSE(inst.box().Exists("out/a.txt"));
  // The absolute form of the bare name points here; the etc folder wins.
  inst.box().Write("to-text.xsl", "not a stylesheet");
  const std::string missing = Run("mpFile=in\r\nmpXSLTfile=\r\n");
  EXPECT_EQ(missing.rfind("MOD001: XSLT Datei für die Transformation fehlt!", 0), 0u);
  ASSERT_EQ(Run("mpFile=in\r\n"), "OK");  // a.xml was kept by both
  EXPECT_EQ(inst.box().Read("out/a.txt"), "[E]");
  std::remove(inst.Path("etc/to-text.xsl").c_str());
  std::remove(inst.Path("to-text.xsl").c_str());
  const std::string gone = Run("mpFile=in\r\n");
  EXPECT_EQ(gone.rfind("MOD001: XSLT Datei für die Transformation existiert nicht!", 0), 0u);
}

// What the prolog of an input may declare, in every encoding a parser
// would read; whatever cannot be read as plain markup counts against it.
TEST(XsltPrologTest, RefusesWhatALaterParserWouldLoadFromOutside) {
  using namespace std::string_literals;
  const std::string dtd = "it names an external DTD";
  const std::string entity = "it declares the external entity e";
  const std::string unreadable = "its beginning cannot be read as XML";
  const std::string external = "<!DOCTYPE a [<!ENTITY e SYSTEM 'f'>]><a/>";
  const struct {
    std::string bytes, why;
  } kCases[] = {
      {"", ""},
      {"<a/>", ""},
      {"\xEF\xBB\xBF<?xml version='1.0'?>\r\n<!-- c --><?pi x?><!DOCTYPE a>\n<a/>", ""},
      {"<!DOCTYPE a [ <!ENTITY e 'SYSTEM \"x\"'> <!ATTLIST a b CDATA '>]'> <!ELEMENT a ANY>"
       "<!NOTATION n SYSTEM 'x'><!-- <!ENTITY f SYSTEM 'y'> --><?pi ]>?> ]><a>&e;</a>",
       ""},
      {"<!DOCTYPE a[]><a/>", ""},
      {"<a><!DOCTYPE b SYSTEM 'x'></a>", ""},  // past the root element: the parser refuses it
      {"<!DOCTYPE a SYSTEM 'a.dtd'><a/>", dtd},
      {"<!DOCTYPE a PUBLIC '-//x' 'a.dtd' [<!ENTITY e 'x'>]><a/>", dtd},
      {external, entity},
      {"<!DOCTYPE a [<!ENTITY e PUBLIC '-//x' 'f'>]><a/>", entity},
      {"<!DOCTYPE a [<!ENTITY\ne\tSYSTEM 'f' NDATA n>]><a/>", entity},
      {"<!DOCTYPE a [<!ENTITY % p 'x'>]><a/>", "it declares a parameter entity"},
      {"<!DOCTYPE a [%p;]><a/>", "it refers to a parameter entity"},
      {"\xFF\xFE"s + "<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0a\0 \0S\0Y\0S\0T\0E\0M\0 \0'\0x\0'\0>\0"s, dtd},
      {"\xFE\xFF"s + "\0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0a\0 \0S\0Y\0S\0T\0E\0M\0 \0'\0x\0'\0>"s, dtd},
      {"\0<\0?\0x\0m\0l\0?\0>\0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0a\0 \0P\0U\0B\0L\0I\0C"s, dtd},
      {"<\0\0\0!\0\0\0D\0\0\0O\0\0\0C\0\0\0T\0\0\0Y\0\0\0P\0\0\0E\0\0\0 \0\0\0a\0\0\0 \0\0\0"
       "S\0\0\0Y\0\0\0S\0\0\0T\0\0\0E\0\0\0M\0\0\0"s,
       dtd},
      {"\xEF\xBB\xBF" + external, entity},
      {"<?xml version='1.0' encoding='iso-8859-1'?><?xml-stylesheet href='x'?><a/>", ""},
      {"\xFF\xFE"s + "<\0?\0x\0m\0l\0\t\0e\0n\0c\0o\0d\0i\0n\0g\0=\0'\0U\0T\0F\0-\0"
                     "1\0\x36\0'\0?\0>\0<\0a\0/\0>\0"s,
       ""},
      // What reads as a processing instruction here is "<!DOCTYPE" in UTF-7.
      {"<?xml version='1.0' encoding='UTF-7'?><?x +AD8APgA8ACE-DOCTYPE a SYSTEM +ACI-x+ACI-+AD4-?>"
       "<a/>",
       "its encoding UTF-7 is not one read before transforming"},
      {"<?xml version='1.0' encoding='Shift_JIS'?><a/>",
       "its encoding Shift_JIS is not one read before transforming"},
      {"<!doctype a SYSTEM 'x'><a/>", unreadable},
      {"<\0a\0/\0>\0"s, unreadable},  // UTF-16 without its mark and "<?": no parser reads it
      {"<?xml version='1.0'?>+ADw-!DOCTYPE a SYSTEM +ACI-x+ACI-+AD4-", unreadable},
      {"\x4C\x6F\xA7\x94\x93", unreadable},  // "<?xml" in EBCDIC
      {"<!DOCTYPE a><!DOCTYPE a SYSTEM 'x'><a/>", unreadable},
      {"<!-- <a/>", unreadable},
      {"<!DOCTYPE a [<!ENTITY e 'x'>", unreadable},
      {"<!DOCTYPE a [<![INCLUDE[<!ENTITY e SYSTEM 'f'>]]>]><a/>", unreadable},
      {"<!DOCTYPE a [<!ATTLIST a b CDATA %p;>]><a/>", unreadable},
      {"hello", unreadable},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(RefusedProlog(c.bytes), c.why);
  }
}

std::string EngineName(const ::testing::TestParamInfo<std::string>& engine) {
  return engine.param.empty() ? "Xsltproc" : "Builtin";
}

INSTANTIATE_TEST_SUITE_P(Engines, XsltModuleTest, ::testing::Values("", "builtin"), EngineName);

}  // namespace
}  // namespace wfdesk::engine
