// HostCallParser: one calculation-function call written as in a host calculation, read into the
// function's name and its parameters, as velmora-host takes them from its command line or script:
//   Velmora_SendMessage( "a@example.test" ; "Hi" ; "line 1¶line 2" ; Container( "logo.png" ) )
// Interface: ParseHostCall(text, call, error).
// Grammar: a name (letters, digits, '_', '.'; not starting with a digit), then nothing or a
// parenthesised list of parameters separated by ';'. A parameter is a quoted text ("" inside
// quotes: \" a quote, \\ a backslash, ¶ the host's line separator CR, \¶ a literal ¶), a lone ¶
// (the text CR), a number (optional sign, digits, optional fraction), True or False (any case),
// Container( quoted file path ), a field of the record (Table::Field) or a variable ($name,
// $$name). Blanks and line ends between the parts are ignored.
// Relies on the standard library only; keeps no state; never throws but std::bad_alloc.
// Failures: false with an English error text naming the position (1-based byte) and what was
// expected; the call is then left partly filled.
#pragma once

#include <string>
#include <vector>

struct stcHostCallParameter {
  enum enumKind { kText, kNumber, kBoolean, kContainer, kField, kVariable };
  enumKind m_enmKind = kText;
  // kText: the text (UTF-8); kNumber: the literal; kContainer: the path; kField: "Table::Field";
  // kVariable: the name with its "$"
  std::string m_strText;
  double m_dblNumber = 0;
  bool m_bolValue = false;
};

struct stcHostCall {
  std::string m_strFunction;
  std::vector<stcHostCallParameter> m_vecParameters;
};

bool ParseHostCall(std::string const& text, stcHostCall* call, std::string* error);
