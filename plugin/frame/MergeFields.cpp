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
#include <vector>

#include "plugin/GetFieldExpression.h"
#include "plugin/HostText.h"

namespace {

UniString const kOpen("<<");
UniString const kOpenEscaped("&lt;&lt;");
UniString const kClose(">>");
UniString const kCloseEscaped("&gt;&gt;");

// The occurrences of one marker text in a line, found left to right: each search starts where
// the last one was asked, or is answered by the hit it found last, so one line costs one scan
// per marker form however many markers it holds.
class clsMarkerSearch {
 public:
  clsMarkerSearch(UniString const& line, UniString const& marker) : m_ustrLine(line), m_ustrMarker(marker) {}
  // The first occurrence at or after from that ends by last; 0 when there is none.
  int Next(int from, int last) {
    if (m_intFound != 0 ? m_intFound < from : m_intSearchedFrom == 0 || m_intSearchedFrom > from) {
      m_intSearchedFrom = from;
      int const latest = m_ustrLine.Length() - m_ustrMarker.Length() + 1;
      m_intFound = from <= latest ? m_ustrLine.Pos(m_ustrMarker, false, from) : 0;
    }
    return m_intFound != 0 && m_intFound + m_ustrMarker.Length() - 1 <= last ? m_intFound : 0;
  }

 private:
  UniString const& m_ustrLine;
  UniString const& m_ustrMarker;
  int m_intFound = 0;         // the hit of the last search, 0 when it found none
  int m_intSearchedFrom = 0;  // where the last search began, 0 before the first
};

// The first marker of a form in line[from .. last]; the escaped form counts only when the plain
// one is absent there. 0 when there is neither; *escaped tells which form was found.
int FindMarker(clsMarkerSearch& plain, clsMarkerSearch& escapedForm, int from, int last, bool* escaped) {
  int position = plain.Next(from, last);
  *escaped = false;
  if (position == 0) {
    position = escapedForm.Next(from, last);
    *escaped = position > 0;
  }
  return position;
}

// Appends line[from .. to] to out.
void Append(std::vector<unsigned short>& out, UniString const& line, int from, int to) {
  if (to >= from) out.insert(out.end(), line.GetBytes() + from - 1, line.GetBytes() + to);
}

void Append(std::vector<unsigned short>& out, UniString const& text) { Append(out, text, 1, text.Length()); }

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

  // The rest of the line is line[rest .. last] and the result grows in one buffer, so a line of
  // many markers costs what its length costs.
  std::vector<unsigned short> result;
  int rest = 1;
  int last = line.Length();
  clsMarkerSearch open(line, kOpen), openEscaped(line, kOpenEscaped);
  clsMarkerSearch close(line, kClose), closeEscaped(line, kCloseEscaped);
  bool escaped = false;
  int position = FindMarker(open, openEscaped, rest, last, &escaped);
  if (position == 0) return line;

  // A zero unit ends the text before the first opening marker, and the rest after it.
  int before = 0;
  while (before + 1 < position && line[before + 1] != 0) ++before;
  Append(result, line, 1, before);
  rest = position + (escaped ? kOpenEscaped : kOpen).Length();
  for (int i = rest; i <= last; ++i) {
    if (line[i] == 0) {
      last = i - 1;
      break;
    }
  }
  while (true) {
    UniString const& opening = escaped ? kOpenEscaped : kOpen;
    bool closingEscaped = false;
    int const closing = FindMarker(close, closeEscaped, rest, last, &closingEscaped);
    if (closing == 0) {
      Append(result, opening);  // an unclosed marker stays as it was
    } else {
      UniString const name = UniString(line.GetBytes() + rest - 1, closing - rest).Trim();
      rest = closing + (closingEscaped ? kCloseEscaped : kClose).Length();
      if (name.IsNotEmpty()) {
        UniString const expression = MergeExpression(name, tableName);
        fmx::Data value;
        if (expression.IsEmpty() || Evaluate(env, expression, value) != 0) {
          result.push_back('?');
        } else {
          ExtractLinesFromFMXText(value.GetAsText(), m_ulstMergeLines);
          Append(result, m_ulstMergeLines->Text(kLineEndingCRLF));
        }
      }
    }
    position = FindMarker(open, openEscaped, rest, last, &escaped);
    if (position == 0) break;
    Append(result, line, rest, position - 1);
    rest = position + (escaped ? kOpenEscaped : kOpen).Length();
  }
  Append(result, line, rest, last);
  // With nothing left of the line, the result ends at a zero unit a value brought in.
  int size = static_cast<int>(result.size());
  if (rest > last) {
    for (int i = 0; i < size; ++i) {
      if (result[size_t(i)] == 0) {
        size = i;
        break;
      }
    }
  }
  return size == 0 ? UniString() : UniString(result.data(), size);
}

void clsPluginVars::DoMergeText(UniStringList* lines, fmx::ExprEnv const& env) {
  if (lines == nullptr) return;
  for (UniString& line : *lines) {
    if (line.Pos(kOpen) > 0 || line.Pos(kOpenEscaped) > 0) line = DoMergeLine(line, env);
  }
}
