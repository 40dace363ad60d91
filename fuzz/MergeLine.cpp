// Fuzz target: any line (UTF-8) through clsPluginVars::DoMergeLine, with a host that answers
// every calculation: a value holding markers and line breaks, and a layout table name holding a
// quote and a backslash. Must never crash or hang; every calculation the host is asked must be a
// shortcut, the table name, a bare variable reference, or GetField of exactly one quoted text;
// and the line must come out unit for unit as the plain merge below gives it, which copies the
// rest of the line for every marker.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzHost.h"
#include "platform/fmx/FMWrapper.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::u16string Units(fmx::Text const& text) {
  std::u16string units(text.GetSize(), u'\0');
  if (!units.empty()) text.GetUnicode(reinterpret_cast<fmx::unichar16*>(&units[0]), 0, text.GetSize());
  return units;
}

// GetField(" + a text in which '\' escapes the next unit and '"' ends it + ").
bool IsOneQuotedGetField(std::u16string const& expression) {
  std::u16string const head = u"GetField(\"";
  if (expression.compare(0, head.size(), head) != 0) return false;
  size_t i = head.size();
  while (i < expression.size() && expression[i] != u'"') i += expression[i] == u'\\' ? 2 : 1;
  return i < expression.size() && expression.substr(i) == u"\")";
}

bool IsVariable(std::u16string const& expression) {
  if (expression.empty() || expression[0] != u'$') return false;
  for (char16_t unit : expression) {
    if (unit <= 0x20 || std::u16string(u"\"'(){}+-*/^&=<>;,:\\\u00B6").find(unit) != std::u16string::npos) return false;
  }
  return true;
}

class clsFuzzHost : public clsFuzzHostBase {
 public:
  fmx::errcode Evaluate(fmx::ExprEnv const&, fmx::Text const& expression, fmx::Data& result) override {
    std::u16string const asked = Units(expression);
    std::u16string answer = u"v<<x>>\r&lt;&lt;y&gt;&gt;\r";
    if (asked == u"Get(LayoutTableName)") {
      answer = u"T\"\\";
    } else if (asked != u"Get(CurrentDate)" && asked != u"Get(CurrentTime)" && asked != u"Get(UserName)" &&
               asked != u"Get(RecordNumber)") {
      Check(IsOneQuotedGetField(asked) || IsVariable(asked));
    }
    fmx::Text text;
    text.AssignUnicodeWithLength(reinterpret_cast<fmx::unichar16 const*>(answer.data()), fmx::uint32(answer.size()));
    result.SetAsText(text, fmx::Locale(fmx::Locale::kType_Current));
    return 0;
  }
};

clsFuzzHost g_udtHost;
clsPluginVars* g_udtVars = nullptr;

// The merge written the plain way: the rest of the line copied after every marker (SubString
// ends at a zero unit), the result grown by appending. A name's value is asked of DoMergeLine
// with the name alone between markers (a name never holds ">>", and the blank keeps a ">" at
// its end from joining the closing marker).
int FindMarker(UniString const& text, UniString const& plain, UniString const& escapedForm, bool* escaped) {
  int position = text.Pos(plain);
  *escaped = false;
  if (position == 0) {
    position = text.Pos(escapedForm);
    *escaped = position > 0;
  }
  return position;
}

UniString PlainMerge(UniString const& line) {
  UniString const open("<<"), openEscaped("&lt;&lt;"), close(">>"), closeEscaped("&gt;&gt;");
  UniString result;
  UniString rest = line;
  bool escaped = false;
  int position = FindMarker(rest, open, openEscaped, &escaped);
  while (position > 0) {
    UniString const opening = escaped ? openEscaped : open;
    result += rest.SubString(1, position - 1);
    rest = rest.SubString(position + opening.Length(), -1);
    bool closingEscaped = false;
    int const closing = FindMarker(rest, close, closeEscaped, &closingEscaped);
    if (closing == 0) {
      result += opening;
    } else {
      UniString const name = rest.SubString(1, closing - 1).Trim();
      rest = rest.SubString(closing + (closingEscaped ? closeEscaped : close).Length(), -1);
      if (name.IsNotEmpty()) result += g_udtVars->DoMergeLine(open + name + UniString(" >>"), fmx::ExprEnv());
    }
    position = FindMarker(rest, open, openEscaped, &escaped);
  }
  return result + rest;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fmx::InstallHostServices(&g_udtHost);
  g_udtVars = new clsPluginVars;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  UniString const line(reinterpret_cast<char const*>(data), 1, int(size));
  Check(g_udtVars->DoMergeLine(line, fmx::ExprEnv()) == PlainMerge(line));
  return 0;
}
