// MergeFields: clsPluginVars::DoMergeLine and DoMergeText replace merge markers, a name between
// "<<" and ">>" (or their HTML-escaped forms "&lt;&lt;" and "&gt;&gt;"), by what the host's
// calculation engine gives for the name in the calling environment: a field of the layout's
// table, a qualified field, a host variable, or one of the shortcuts "//" (date), "::" (time),
// "||" (user name) and "@@" (record number).
// Names reach the host only as a quoted GetField argument (BuildGetFieldExpression) or, after
// "$", as a bare variable reference; anything else after "$" becomes "?" without being
// evaluated, as does a name the host cannot evaluate. A value's lines are joined by CR LF.
// Merged values are never scanned again. Host thread only; the scratch list is the state's own.
#include "plugin/frame/clsPluginVars.h"

#include <new>

#include "plugin/GetFieldExpression.h"
#include "plugin/HostText.h"

namespace {

UniString const kOpen("<<");
UniString const kOpenEscaped("&lt;&lt;");
UniString const kClose(">>");
UniString const kCloseEscaped("&gt;&gt;");

// The first marker of a form in text; the escaped form counts only when the plain one is absent.
// 0 when there is neither; *escaped tells which form was found.
int FindMarker(UniString const& text, UniString const& plain, UniString const& escapedForm, bool* escaped) {
  int position = text.Pos(plain);
  *escaped = false;
  if (position == 0) {
    position = text.Pos(escapedForm);
    *escaped = position > 0;
  }
  return position;
}

// One or two '$', a name of no blanks, quotes, brackets, operators or separators, and an
// optional repetition "[n]": a plain reference to a host variable and nothing more.
bool IsVariableReference(UniString const& name) {
  static UniString const kRefused("\"'()[]{}+-*/^&=<>;,:$\\\xE2\x80\x9C\xE2\x80\x9D\xC2\xB6\xE2\x89\xA0\xE2\x89\xA4\xE2\x89\xA5");
  int length = name.Length();
  int start = 2;
  if (length >= 2 && name[2] == '$') start = 3;
  // The repetition, when there is one.
  if (length > start && name[length] == ']') {
    int const open = name.Pos(static_cast<unsigned short>('['), false, start);
    if (open == 0 || open + 1 >= length) return false;
    for (int i = open + 1; i < length; ++i) {
      if (!UniString::IsDigit(name[i])) return false;
    }
    length = open - 1;
  }
  if (length < start) return false;
  for (int i = start; i <= length; ++i) {
    unsigned short const unit = name[i];
    if (unit <= 0x20 || unit == 0x7F || unit == 0x00A0 || kRefused.Pos(unit) > 0) return false;
  }
  return true;
}

// The calculation a marker's name stands for; empty when the name may not be evaluated.
UniString MergeExpression(UniString const& name, UniString const& tableName) {
  if (name == UniString("//")) return UniString("Get(CurrentDate)");
  if (name == UniString("::")) return UniString("Get(CurrentTime)");
  if (name == UniString("||")) return UniString("Get(UserName)");
  if (name == UniString("@@")) return UniString("Get(RecordNumber)");
  if (name[1] == '$') return IsVariableReference(name) ? name : UniString();
  if (name.Pos(UniString("::")) > 0) return BuildGetFieldExpression(name);
  return BuildGetFieldExpression(tableName + UniString("::") + name);
}

fmx::errcode Evaluate(fmx::ExprEnv const& env, UniString const& expression, fmx::Data& result) {
  fmx::Text text;
  text.AssignUnicodeWithLength(expression.GetBytes(), fmx::uint32(expression.Length()));
  return env.Evaluate(text, result);
}

}  // namespace

UniString clsPluginVars::DoMergeLine(UniString line, fmx::ExprEnv const& env) {
  if (m_ulstMergeLines == nullptr) {
    m_ulstMergeLines = new (std::nothrow) UniStringList;
    if (m_ulstMergeLines == nullptr) return line;
  }

  // Asked on every call, also for a line without markers.
  UniString tableName;
  {
    fmx::Data value;
    if (Evaluate(env, UniString("Get(LayoutTableName)"), value) == 0) tableName = ExtractFromFMXText(value.GetAsText());
  }

  UniString result;
  UniString rest = line;
  bool escaped = false;
  int position = FindMarker(rest, kOpen, kOpenEscaped, &escaped);
  while (position > 0) {
    UniString const opening = escaped ? kOpenEscaped : kOpen;
    result += rest.SubString(1, position - 1);
    rest = rest.SubString(position + opening.Length(), -1);

    bool closingEscaped = false;
    int const closing = FindMarker(rest, kClose, kCloseEscaped, &closingEscaped);
    if (closing == 0) {
      result += opening;  // an unclosed marker stays as it was
    } else {
      UniString const name = rest.SubString(1, closing - 1).Trim();
      rest = rest.SubString(closing + (closingEscaped ? kCloseEscaped : kClose).Length(), -1);
      if (name.IsNotEmpty()) {
        UniString const expression = MergeExpression(name, tableName);
        fmx::Data value;
        if (expression.IsEmpty() || Evaluate(env, expression, value) != 0) {
          result += UniString("?");
        } else {
          ExtractLinesFromFMXText(value.GetAsText(), m_ulstMergeLines);
          result += m_ulstMergeLines->Text(kLineEndingCRLF);
        }
      }
    }
    position = FindMarker(rest, kOpen, kOpenEscaped, &escaped);
  }
  return result + rest;
}

void clsPluginVars::DoMergeText(UniStringList* lines, fmx::ExprEnv const& env) {
  if (lines == nullptr) return;
  for (UniString& line : *lines) {
    if (line.Pos(kOpen) > 0 || line.Pos(kOpenEscaped) > 0) line = DoMergeLine(line, env);
  }
}
