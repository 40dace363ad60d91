// CleanOneEmailAddress: address validation and normal form (see CleanOneEmailAddress.h).
// The address is split by one expression into what stands before the local part (a display name
// or a leading comment), the local part, the domain and what follows (a trailing comment); each
// piece is then checked or fixed up on its own. The local part follows RFC 5322's dot-atom
// (a quoted local part is taken as it stands); the domain must end in a label of letters.
#include "mime/CleanOneEmailAddress.h"

#include "core/DebugLog.h"
#include "mime/clsRegEx.h"
#include "plugin/clsPrefs.h"

namespace {

constexpr unsigned short kUnitQuote = 0x22;         // "
constexpr unsigned short kUnitOpenParen = 0x28;     // (
constexpr unsigned short kUnitCloseParen = 0x29;    // )
constexpr unsigned short kUnitLess = 0x3C;          // <
constexpr unsigned short kUnitGreater = 0x3E;       // >
constexpr unsigned short kUnitOpenSquare = 0x5B;    // [
constexpr unsigned short kUnitCloseSquare = 0x5D;   // ]
constexpr unsigned short kUnitAt = 0x40;            // @
constexpr unsigned short kUnitCR = 0x0D;
constexpr unsigned short kUnitLF = 0x0A;

// Sub-matches: 1 all before the local part (a leading quoted or parenthesised text and what
// follows it, as short as possible), 3 the local part, 4 the domain, 5 the rest. The dot also
// crosses line ends, which is why line breaks are refused before this expression is used.
char const kWholeAddressExpression[] = R"rx(^((["(].*[")])?.*?)(\S+)@(\S+)(.*)$)rx";
char const kDisplayNameExpression[] = R"rx(^["(]?[A-Za-z ]*[")]?$)rx";
char const kLocalPartExpression[] =
    R"rx(^[-A-Za-z0-9!#$%&'*+/=?^_`{|}~](\.?[-A-Za-z0-9!#$%&'*+/=?^_`{|}~])*$)rx";
char const kDomainExpression[] = R"rx(^[-A-Za-z0-9](\.?[-A-Za-z0-9])*\.[A-Za-z]+$)rx";

UniString Unit(unsigned short unit) { return UniString(unit); }

// A CR, LF or zero unit that trimming leaves in place: such a text would split or cut short the
// header line it is written into.
bool HoldsLineBreakOrZero(UniString const& text) {
  int first = 1;
  int last = text.Length();
  while (first <= last && UniString::IsBlank(text[first])) ++first;
  while (last >= first && UniString::IsBlank(text[last])) --last;
  for (int i = first; i <= last; ++i) {
    unsigned short const unit = text[i];
    if (unit == kUnitCR || unit == kUnitLF || unit == 0) return true;
  }
  return false;
}

// Display names and comments: balanced quotes and parentheses, and double quotes around a text
// that is more than letters and blanks unless it already opens with a quote or a parenthesis.
UniString FixUpName(UniString part) {
  part = part.Trim();
  if (part.IsEmpty()) return part;
  part = CheckEmailEnclosure(part, kUnitQuote, kUnitQuote);
  part = CheckEmailEnclosure(part, kUnitOpenParen, kUnitCloseParen);
  clsRegEx regex;
  if (!regex.SetExpression(UniString(kDisplayNameExpression), kRegExNormal, false)) return part;
  if (!regex.Match(part) && part[1] != kUnitQuote && part[1] != kUnitOpenParen) {
    part = Unit(kUnitQuote) + part + Unit(kUnitQuote);
  }
  return part;
}

// Whether the text matches the expression; false with *failure set when the expression cannot
// be compiled.
bool Matches(char const* expression, UniString const& text, UniString* failure) {
  clsRegEx regex;
  if (!regex.SetExpression(UniString(expression), kRegExNormal, false)) {
    *failure = regex.ErrorString();
    return false;
  }
  return regex.Match(text);
}

// The normal form of a trimmed address free of line breaks; empty when it is not usable, and
// *failure set when an expression could not be compiled.
UniString NormalForm(UniString const& address, UniString* failure) {
  clsRegEx whole;
  if (!whole.SetExpression(UniString(kWholeAddressExpression), kRegExNormal, false)) {
    *failure = whole.ErrorString();
    return UniString();
  }
  if (!whole.Match(address)) return UniString();
  UniString name = whole.GetResult(1);
  UniString local = whole.GetResult(3);
  UniString domain = whole.GetResult(4);
  UniString rest = whole.GetResult(5);

  // "Name<local@domain>comment" without blanks: the pieces glued to the brackets move out.
  int const less = local.Pos(kUnitLess);
  if (less > 0) {
    name = name + local.Left(less - 1);
    local = local.SubString(less, local.Length());
  }
  int const greater = domain.Pos(kUnitGreater);
  if (greater > 0) {
    rest = domain.SubString(greater + 1, domain.Length()) + rest;
    domain = domain.Left(greater);
  }
  name = FixUpName(name);

  unsigned short openBracket = 0;
  unsigned short closeBracket = 0;
  local = local.Trim();
  if (local.IsEmpty()) return UniString();
  if (local[1] == kUnitLess || local[1] == kUnitOpenSquare) {
    openBracket = local[1];
    local = local.SubString(2, local.Length()).Trim();
    if (local.IsEmpty()) return UniString();
  }
  local = CheckEmailEnclosure(local, kUnitQuote, kUnitQuote);
  if (local[1] != kUnitQuote && !Matches(kLocalPartExpression, local, failure)) {
    return UniString();
  }

  domain = domain.Trim();
  if (domain.IsEmpty()) return UniString();
  int const last = domain.Length();
  if (domain[last] == kUnitGreater || domain[last] == kUnitCloseSquare) {
    closeBracket = domain[last];
    domain = domain.Left(last - 1).Trim();
    if (domain.IsEmpty()) return UniString();
  }
  if (!Matches(kDomainExpression, domain, failure)) return UniString();

  rest = FixUpName(rest);
  if (openBracket == kUnitLess) {
    closeBracket = kUnitGreater;
  } else if (openBracket == kUnitOpenSquare) {
    closeBracket = kUnitCloseSquare;
  } else if (closeBracket == kUnitGreater) {
    openBracket = kUnitLess;
  } else if (closeBracket == kUnitCloseSquare) {
    openBracket = kUnitOpenSquare;
  }

  UniString const mailbox = local + Unit(kUnitAt) + domain;
  if (name.IsNotEmpty()) {
    UniString result = name + UniString(" <") + mailbox;
    return rest.IsNotEmpty() ? result + UniString("> ") + rest : result + Unit(kUnitGreater);
  }
  if (rest.IsNotEmpty()) return Unit(kUnitLess) + mailbox + UniString("> ") + rest;
  UniString result = mailbox;
  if (openBracket != 0) result = Unit(openBracket) + result;
  if (closeBracket != 0) result = result + Unit(closeBracket);
  return result;
}

}  // namespace

UniString CheckEmailEnclosure(UniString text, unsigned short open, unsigned short close) {
  text = text.Trim();
  int const length = text.Length();
  if (length == 0) return text;
  if (length == 1 && open == close && text[1] == open) return text + Unit(close);
  if (text[1] == open) return text[length] == close ? text : text + Unit(close);
  if (text[length] == close) return Unit(open) + text;
  return text;
}

void CleanOneEmailAddress(UniString address, UniString* cleaned, UniString* error) {
  clsFuncDebug debug(UniString("CleanOneEmailAddress"), kDebugFull);
  if (cleaned != nullptr) *cleaned = UniString();
  if (error != nullptr) *error = UniString();
  UniString const trimmed = address.Trim();
  if (trimmed.IsEmpty()) return;

  if (g_udtPrefs.GetBooleanPref(UniString("DisableEmailValidation"), false)) {
    if (cleaned != nullptr) *cleaned = trimmed;
    if (error != nullptr) *error = trimmed;
    return;
  }

  UniString failure;
  UniString result;
  if (!HoldsLineBreakOrZero(address)) result = NormalForm(trimmed, &failure);
  if (failure.IsNotEmpty()) {
    debug.Output(kDebugError, failure);
    if (error != nullptr) *error = UniString("ERROR: CleanOneEmailAddress: ") + failure;
    return;
  }
  if (result.IsEmpty()) {
    debug.Output(kDebugInfo, UniString("Invalid address: ") + trimmed);
    if (error != nullptr) *error = trimmed;
    return;
  }
  if (cleaned != nullptr) *cleaned = result;
}
