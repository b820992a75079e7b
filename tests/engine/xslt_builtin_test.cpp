// The built-in XSLT engine against the real xsltproc: the same exit status,
// the same output file or none, byte for byte, over the example
// installation's stylesheets and a corpus of odd stylesheets and inputs
// (where there is an xsltproc: not on Windows); and what it refuses for
// safety.
#include "engine/xslt_builtin.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <utility>

#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::engine {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using testing::RunProgram;
using testing::Sandbox;

std::string Sheet(const std::string& output, const std::string& templates,
                  const std::string& namespaces = "") {
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"" +
         namespaces + ">" + output + templates + "</xsl:stylesheet>";
}

const std::string kIdentity =
    "<xsl:template match=\"@*|node()\"><xsl:copy><xsl:apply-templates select=\"@*|node()\"/>"
    "</xsl:copy></xsl:template>";

// Stylesheets: output methods and encodings, the stylesheet's own files,
// EXSLT, messages, and every way a stylesheet can fail.
const std::vector<std::pair<std::string, std::string>> kSheets = {
    {"copy.xsl", Sheet("", "<xsl:template match=\"/\"><xsl:copy-of select=\".\"/></xsl:template>")},
    {"latin1-indent.xsl", Sheet("<xsl:output encoding=\"ISO-8859-1\" indent=\"yes\"/>", kIdentity)},
    {"omit-doctype.xsl", Sheet("<xsl:output omit-xml-declaration=\"yes\" doctype-system=\"a.dtd\" "
                               "cdata-section-elements=\"b\"/>",
                               kIdentity)},
    {"ascii-standalone.xsl",
     Sheet("<xsl:output encoding=\"US-ASCII\" standalone=\"yes\" indent=\"no\"/>", kIdentity)},
    {"text.xsl", Sheet("<xsl:output method=\"text\" encoding=\"ISO-8859-1\"/>",
                       "<xsl:template match=\"/\">[<xsl:value-of select=\".\"/>]&#x20AC;"
                       "<xsl:value-of select=\"'&lt;&amp;'\" disable-output-escaping=\"yes\"/>"
                       "</xsl:template>")},
    {"html.xsl", Sheet("<xsl:output method=\"html\" indent=\"yes\"/>",
                       "<xsl:template match=\"/\"><html><body><p>&#xE4;<br/>"
                       "<xsl:value-of select=\"string(/*)\"/></p></body></html></xsl:template>")},
    {"lookup/files.xsl",
     Sheet("<xsl:include href=\"part.xsl\"/>",
           "<xsl:template match=\"/\"><r><xsl:copy-of select=\"document('codes.xml')\"/>"
           "<xsl:call-template name=\"part\"/></r></xsl:template>")},
    {"exslt.xsl",
     Sheet(
         "",
         "<xsl:template match=\"/\"><xsl:variable name=\"v\"><i>1</i><i>2</i></xsl:variable>"
         "<r n=\"{count(exsl:node-set($v)/i)}\"><xsl:for-each select=\"str:tokenize('a,b', ',')\">"
         "<t><xsl:value-of select=\".\"/></t></xsl:for-each></r></xsl:template>",
         " xmlns:exsl=\"http://exslt.org/common\" xmlns:str=\"http://exslt.org/strings\"")},
    {"message.xsl", Sheet("",
                          "<xsl:template match=\"/\"><r><xsl:message>note</xsl:message>"
                          "</r></xsl:template>")},
    {"terminate.xsl", Sheet("",
                            "<xsl:template match=\"/\"><r><xsl:message terminate=\"yes\">"
                            "stop</xsl:message></r></xsl:template>")},
    {"empty-result.xsl", Sheet("", "<xsl:template match=\"/\"/>")},
    {"runtime-error.xsl",
     Sheet("", "<xsl:template match=\"/\"><r><xsl:value-of select=\"$nope\"/></r></xsl:template>")},
    {"unknown-element.xsl", Sheet("", "<xsl:template match=\"/\"><xsl:bogus/></xsl:template>")},
    {"not-a-stylesheet.xsl", "<foo/>"},
    {"not-well-formed.xsl", "<xsl:stylesheet version=\"1.0\""},
};

// Inputs: entities and DTD defaults of an internal subset, encodings,
// non-ASCII text, namespaces, CDATA, and one that is not well-formed.
const std::vector<std::pair<std::string, std::string>> kInputs = {
    {"plain.xml", "<a x=\"1\"><b>text</b></a>"},
    {"entities.xml",
     "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY e \"in <b>bold</b> &#228;\">"
     "<!ENTITY amp2 \"&#38;#38;\"><!ATTLIST a d CDATA \"default\">]>\n"
     "<a>&e; &lt;&gt;&amp;&apos;&quot; &amp2; &#x20AC;<![CDATA[<raw>]]><!-- c --><?pi x?></a>"},
    {"latin1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Gr\xFC\xDF\x65 \xE4</a>"},
    {"utf8.xml",
     "\xEF\xBB\xBF<a t=\"\xE2\x82\xAC\">\xC3\xA4 \xE6\x97\xA5 \xF0\x9F\x98\x80\r\n</a>"},
    {"namespaces.xml", "<a xmlns=\"urn:x\" xmlns:p=\"urn:p\"><p:b p:c=\"1\"/><b/></a>"},
    {"not-well-formed.xml", "<a><b></a>"},
    {"empty.xml", ""},
};

class BuiltinXsltTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.Write("lookup/part.xsl",
               Sheet("", "<xsl:template name=\"part\"><p>part</p></xsl:template>"));
    box_.Write("lookup/codes.xml", "<codes><c>AT</c></codes>");
    box_.MakeFolder("out");
  }

#ifdef WFDESK_XSLTPROC
  // Transforms each input with xsltproc, and all of them with one engine
  // compiled once, on its thread as the module does.
  void ExpectSameAsXsltproc(const std::string& sheet, const std::vector<std::string>& inputs) {
    std::vector<BuiltinXsltJob> jobs;
    std::vector<std::pair<std::string, testing::ProgramOutput>> theirs;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::string output = box_.Path("out/" + std::to_string(i));
      jobs.push_back({inputs[i], output + ".builtin"});
      theirs.emplace_back(output, RunProgram({WFDESK_XSLTPROC, "-o", output, sheet, inputs[i]}));
    }
    const BuiltinXslt builtin(sheet);
    BuiltinXsltAhead ahead(builtin, jobs);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      const BuiltinXsltDone mine = ahead.Take(i);
      const auto& [output, real] = theirs[i];
      SCOPED_TRACE(sheet + " " + inputs[i] + "\n" + real.err);
      EXPECT_EQ(mine.result.exit_status, real.status);
      ASSERT_EQ(mine.written, std::filesystem::exists(output));
      EXPECT_EQ(ReadFile(jobs[i].output), ReadFile(output));
      std::remove(output.c_str());
      std::remove(jobs[i].output.c_str());
    }
  }
#endif

  Sandbox box_;
};

#ifdef WFDESK_XSLTPROC
TEST_F(BuiltinXsltTest, TheExampleStylesheetsGiveXsltprocsOutput) {
  const std::string example = WFDESK_EXAMPLE;
  std::vector<std::string> invoices;
  for (const auto& entry : std::filesystem::directory_iterator(example + "/exchange/invoices")) {
    const std::string name = entry.path().filename().string();
    invoices.push_back(box_.Write("invoices/" + name, ReadFile(entry.path().string())));
  }
  ASSERT_EQ(invoices.size(), 3u);
  for (const char* sheet : {"invoice-html.xsl", "ubl-to-upload.xsl"}) {
    ExpectSameAsXsltproc(box_.Write(sheet, ReadFile(example + "/etc/" + sheet)), invoices);
  }
}

TEST_F(BuiltinXsltTest, OddStylesheetsAndInputsGiveXsltprocsStatusAndOutput) {
  std::vector<std::string> inputs;
  for (const auto& [name, text] : kInputs) inputs.push_back(box_.Write("in/" + name, text));
  for (const auto& [name, text] : kSheets) ExpectSameAsXsltproc(box_.Write(name, text), inputs);
}
#endif

// xsltproc reads "%41" in an output name as "A" and writes another file.
TEST_F(BuiltinXsltTest, WritesTheOutputFileOfTheNameGiven) {
  const BuiltinXslt latin1(box_.Write("l.xsl", kSheets[1].second));
  const auto result =
      latin1.Transform(box_.Write("in/x%41.xml", "<a>\xC3\xA4</a>"), box_.Path("out/x%41 1.xml"));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(box_.Read("out/x%41 1.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE4</a>\n");
}

TEST_F(BuiltinXsltTest, MessagesTellWhatXsltprocWouldHavePrinted) {
  const BuiltinXslt terminates(box_.Write("t.xsl", kSheets[9].second));
  const auto stopped = terminates.Transform(box_.Write("a.xml", "<a/>"), box_.Path("out/t"));
  EXPECT_THAT(stopped.messages, ::testing::Contains("stop"));
  const BuiltinXslt broken(box_.Write("b.xsl", "<xsl:stylesheet"));
  EXPECT_THAT(broken.CompileMessages(), ::testing::Contains(HasSubstr("cannot parse")));
  EXPECT_TRUE(broken.Transform(box_.Path("a.xml"), box_.Path("out/b")).messages.empty());
}

// The module chooses jobs whose outputs are free; a file that takes an
// output's name while the thread works ahead is not replaced.
TEST_F(BuiltinXsltTest, TheLookAheadReplacesNoFile) {
  const BuiltinXslt copy(box_.Write("copy.xsl", kSheets[0].second));
  const std::string input = box_.Write("in/a.xml", "<a/>");
  box_.Write("out/taken", "waiting");
  BuiltinXsltAhead ahead(copy, {{input, box_.Path("out/taken")}, {input, box_.Path("out/free")}});
  EXPECT_FALSE(ahead.Take(0).written);
  EXPECT_EQ(box_.Read("out/taken"), "waiting");
  EXPECT_TRUE(ahead.Take(1).written);
  EXPECT_THAT(box_.Read("out/free"), HasSubstr("<a/>"));
}

// Unlike xsltproc, which reads external entities into its inputs and
// fetches from the network by default.
TEST_F(BuiltinXsltTest, RefusesExternalEntitiesTheNetworkAndSideFiles) {
  box_.Write("secret.txt", "TOPSECRET");
  box_.Write("secret.dtd", "<!ATTLIST a leak CDATA \"TOPSECRET\">");
  const std::string copy = box_.Write("copy.xsl", kSheets[0].second);
  const struct {
    std::string sheet, input, message;
  } kCases[] = {
      {copy, "<!DOCTYPE a [<!ENTITY s SYSTEM \"secret.txt\">]><a>&s;</a>", "external entity"},
      {copy, "<!DOCTYPE a [<!ENTITY % p SYSTEM \"secret.dtd\"> %p;]><a>&s;</a>", "external entity"},
      {copy, "<!DOCTYPE a SYSTEM \"secret.dtd\"><a>&s;</a>", ""},
      {box_.Write("net.xsl", Sheet("",
                                   "<xsl:template match=\"/\"><r><xsl:copy-of "
                                   "select=\"document('http://127.0.0.1:9/x.xml')\"/>"
                                   "</r></xsl:template>")),
       "<a/>", "denied"},
      {box_.Write(
           "side.xsl",
           Sheet("",
                 "<xsl:template match=\"/\"><exsl:document href=\"" + box_.Path("side.txt") +
                     "\">x</exsl:document><r/></xsl:template>",
                 " xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\"")),
       "<a/>", "denied"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.input + " " + c.sheet);
    const std::string output = box_.Path("out/safe");
    std::remove(output.c_str());
    const auto result = BuiltinXslt(c.sheet).Transform(box_.Write("in.xml", c.input), output);
    EXPECT_THAT(ReadFile(output), Not(HasSubstr("TOPSECRET")));
    EXPECT_FALSE(box_.Exists("side.txt"));
    if (c.message.empty()) continue;
    EXPECT_NE(result.exit_status, 0);
    EXPECT_FALSE(box_.Exists("out/safe"));
    EXPECT_THAT(result.messages, ::testing::Contains(HasSubstr(c.message)));
  }
}

}  // namespace
}  // namespace wfdesk::engine
