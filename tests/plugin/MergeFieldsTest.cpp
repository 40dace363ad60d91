// Tests of merge fields on a layout of table T: each marker form and name kind with the
// calculations the host was asked, failures as "?", values never merged twice, and names that
// cannot escape their quoted text or run as calculations after "$".
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "plugin/frame/clsPluginVars.h"
#include "support/FmxTestHost.h"

namespace {

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

typedef std::vector<std::pair<std::string, std::string>> Answers;

// A host of table T that knows these calculations.
void Answer(FmxTestHost& host, Answers const& answers, bool withTable = true) {
  if (withTable) host.SetEvaluateResult("Get(LayoutTableName)", "T");
  for (auto const& answer : answers) host.SetEvaluateResult(answer.first, answer.second);
}

}  // namespace

TEST(MergeFieldsTest, EachMarkerIsReplacedByItsValue) {
  Answers const answers = {
      {"GetField(\"T::First\")", "Ann"},
      {"GetField(\"Other::Field\")", "other"},
      {"$var", "local"},
      {"$$g[2]", "global"},
      {"Get(CurrentDate)", "1/2/2026"},
      {"Get(CurrentTime)", "10:00"},
      {"Get(UserName)", "ann"},
      {"Get(RecordNumber)", "7"},
      {"GetField(\"T::A\")", "a"},
      {"GetField(\"T::B\")", "b"},
      {"GetField(\"T::C\")", "c"},
      {"GetField(\"T::Lines\")", "l1\rl2\r"},
      {"GetField(\"T::Secret\")", "<<Secret>>"},
  };
  std::string const table = "Get(LayoutTableName)";
  struct stcCase {
    std::string line, merged;
    std::vector<std::string> asked;  // after the table name
  };
  std::vector<stcCase> const cases = {
      {"Dear << First\t>>,", "Dear Ann,", {"GetField(\"T::First\")"}},
      {"<<Other::Field>>", "other", {"GetField(\"Other::Field\")"}},
      {"<<$var>>/<<$$g[2]>>", "local/global", {"$var", "$$g[2]"}},
      {"<<//>> <<::>> <<||>> <<@@>>", "1/2/2026 10:00 ann 7",
       {"Get(CurrentDate)", "Get(CurrentTime)", "Get(UserName)", "Get(RecordNumber)"}},
      {"&lt;&lt;First&gt;&gt;!", "Ann!", {"GetField(\"T::First\")"}},
      {"<<First&gt;&gt;", "Ann", {"GetField(\"T::First\")"}},
      {"a <<  >> b <<>>", "a  b ", {}},
      {"a << b &lt;&lt; c", "a << b &lt;&lt; c", {}},
      {"<<A <<B>> x", "? x", {"GetField(\"T::A <<B\")"}},
      {"<<Lines>>.", "l1\r\nl2\r\n.", {"GetField(\"T::Lines\")"}},
      {"&lt;&lt;A&gt;&gt; x <<B>> y &lt;&lt;C&gt;&gt;", "&lt;&lt;A&gt;&gt; x b y c",
       {"GetField(\"T::B\")", "GetField(\"T::C\")"}},
      {"<<Secret>> and <<First>>", "<<Secret>> and Ann", {"GetField(\"T::Secret\")", "GetField(\"T::First\")"}},
      {"x <<Missing>> y", "x ? y", {"GetField(\"T::Missing\")"}},
      {"no markers", "no markers", {}},
      // A zero unit ends the text before the first marker, and the rest after it.
      {std::string("a\0b <<First>> c\0d <<First>>", 27), "aAnn c", {"GetField(\"T::First\")"}},
      // A name cannot end its quoted text, nor can the table's.
      {"<<x\") & Get(UserName) & (\">>", "?", {"GetField(\"T::x\\\") & Get(UserName) & (\\\"\")"}},
      {"<<a\\>>", "?", {"GetField(\"T::a\\\\\")"}},
      // After "$" only a variable reference is evaluated.
      {"<<$x & Get(UserName)>> <<$>> <<$$$x>> <<$x[a]>> <<$a\"b>> <<$(x)>> <<$x;y>>", "? ? ? ? ? ? ?", {}},
  };
  for (auto const& c : cases) {
    FmxTestHost host;
    Answer(host, answers);
    clsPluginVars vars;
    fmx::ExprEnv env;
    EXPECT_EQ(c.merged, S(vars.DoMergeLine(U(c.line), env))) << c.line;
    std::vector<std::string> asked = {table};
    asked.insert(asked.end(), c.asked.begin(), c.asked.end());
    EXPECT_EQ(asked, host.EvaluateRequests()) << c.line;
  }
}

TEST(MergeFieldsTest, WithoutTheTableNameAndWithAQuotedOne) {
  {
    FmxTestHost host;
    Answer(host, {{"GetField(\"::name\")", "v"}}, false);
    clsPluginVars vars;
    EXPECT_EQ("v", S(vars.DoMergeLine(U("<<name>>"), fmx::ExprEnv())));
  }
  FmxTestHost host;
  host.SetEvaluateResult("Get(LayoutTableName)", "T\"x");
  host.SetEvaluateResult("GetField(\"T\\\"x::name\")", "w");
  clsPluginVars vars;
  EXPECT_EQ("w", S(vars.DoMergeLine(U("<<name>>"), fmx::ExprEnv())));
}

TEST(MergeFieldsTest, TextMergesOnlyTheLinesWithMarkers) {
  FmxTestHost host;
  Answer(host, {{"GetField(\"T::First\")", "Ann"}});
  clsPluginVars vars;
  UniStringList lines;
  for (char const* line : {"Hi <<First>>", "plain > text", "&lt;&lt;First&gt;&gt;", ""}) lines.Add(U(line));
  vars.DoMergeText(&lines, fmx::ExprEnv());
  std::vector<std::string> merged;
  for (UniString const& line : lines) merged.push_back(S(line));
  EXPECT_EQ((std::vector<std::string>{"Hi Ann", "plain > text", "Ann", ""}), merged);
  EXPECT_EQ(4u, host.EvaluateRequests().size()) << "two merged lines, two calculations each";
  vars.DoMergeText(nullptr, fmx::ExprEnv());
}

// A line of many markers costs what its length costs: 200,000 markers in one line (empty ones,
// which are dropped without asking the host, so that the time is the merge's own) take well under
// a second; copying the rest of the line for every marker took minutes.
TEST(MergeFieldsTest, ALongLineOfMarkersTakesLinearTime) {
  FmxTestHost host;
  Answer(host, {{"GetField(\"T::First\")", "Ann"}});
  clsPluginVars vars;
  std::string line;
  std::string merged;
  for (int i = 0; i < 100000; ++i) {
    line += "a<<>>b&lt;&lt; &gt;&gt;";
    merged += "ab&lt;&lt; &gt;&gt;";
  }
  line += "<<First>>&lt;&lt;First&gt;&gt;";
  merged += "AnnAnn";  // an escaped marker after the last plain one is merged
  auto const start = std::chrono::steady_clock::now();
  std::string const got = S(vars.DoMergeLine(U(line), fmx::ExprEnv()));
  double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(got == merged) << got.size() << " bytes";
  EXPECT_LT(seconds, 2.0);
}
