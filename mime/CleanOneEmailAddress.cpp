// CleanOneEmailAddress: address validation and normal form (see CleanOneEmailAddress.h).
// The address is split by one expression into what stands before the local part (a display name
// or a leading comment), the local part, the domain and what follows (a trailing comment); each
// piece is then checked or fixed up on its own. The local part follows RFC 5322's dot-atom, or
// is one RFC 5321 quoted string taken whole (blanks included); the domain must end in a label of
// letters. Quoted strings and comments (RFC 5322 3.2.4, 3.2.2) in the name are text: a normal
// form is given only when the message's own address splitter finds exactly the address built in
// it, so the envelope recipient is always the mailbox the header shows.
#include "mime/CleanOneEmailAddress.h"

#include "core/DebugLog.h"
#include "mime/clsRegEx.h"
#include "mime/clsSMTPEmail.h"
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
constexpr unsigned short kUnitBackslash = 0x5C;     // backslash
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

// Blanks as the whole-address expression's \s sees them (line breaks are refused before).
bool IsSpace(unsigned short unit) { return unit == 0x20 || (unit >= 0x09 && unit <= 0x0D); }

// A quoted local part: a quoted string, outside any comment, that opens the text or follows a
// blank or an opening bracket, and is followed at once by "@". Other quoted strings (display
// names) and comments are skipped. *start and *end are its quotes.
bool FindQuotedLocalPart(UniString const& text, int* start, int* end) {
  int const length = text.Length();
  int depth = 0;
  for (int i = 1; i <= length; ++i) {
    unsigned short const unit = text[i];
    if (depth > 0) {
      if (unit == kUnitBackslash) {
        ++i;
      } else if (unit == kUnitOpenParen) {
        ++depth;
      } else if (unit == kUnitCloseParen) {
        --depth;
      }
      continue;
    }
    if (unit == kUnitOpenParen) {
      depth = 1;
      continue;
    }
    if (unit != kUnitQuote) continue;
    bool const opensLocal =
        i == 1 || IsSpace(text[i - 1]) || text[i - 1] == kUnitLess || text[i - 1] == kUnitOpenSquare;
    int close = i + 1;
    while (close <= length && text[close] != kUnitQuote) close += text[close] == kUnitBackslash ? 2 : 1;
    if (close > length) return false;
    if (opensLocal && close < length && text[close + 1] == kUnitAt) {
      *start = i;
      *end = close;
      return true;
    }
    i = close;
  }
  return false;
}

// An RFC 5321 quoted string of printable ASCII ("\" before '"' and '\'), without "<" and ">":
// the envelope takes the mailbox between the angle brackets, so a bracket in it would cut it.
bool IsQuotedLocalPart(UniString const& local) {
  int const length = local.Length();
  if (length < 2 || local[1] != kUnitQuote || local[length] != kUnitQuote) return false;
  for (int i = 2; i < length; ++i) {
    unsigned short unit = local[i];
    if (unit == kUnitBackslash) {
      if (i + 1 >= length) return false;
      unit = local[++i];
    } else if (unit == kUnitQuote) {
      return false;
    }
    if (unit < 0x20 || unit > 0x7E || unit == kUnitLess || unit == kUnitGreater) return false;
  }
  return true;
}

// A display name or comment that ends outside every quoted string and comment and holds none of
// the specials that would make a reader see another address ("<", ">", "@", ",", ";", ":", "[",
// "]", "\") outside them.
bool IsClosedPhrase(UniString const& text) {
  static UniString const kSpecials("<>@,;:[]\\");
  bool quoted = false;
  int depth = 0;
  for (int i = 1; i <= text.Length(); ++i) {
    unsigned short const unit = text[i];
    if (quoted || depth > 0) {
      if (unit == kUnitBackslash) {
        if (i == text.Length()) return false;
        ++i;
      } else if (quoted) {
        quoted = unit != kUnitQuote;
      } else if (unit == kUnitOpenParen) {
        ++depth;
      } else if (unit == kUnitCloseParen) {
        --depth;
      }
      continue;
    }
    if (unit == kUnitQuote) {
      quoted = true;
    } else if (unit == kUnitOpenParen) {
      depth = 1;
    } else if (unit == kUnitCloseParen || kSpecials.Pos(unit) > 0) {
      return false;
    }
  }
  return !quoted && depth == 0;
}

// Whether the text names more than one mailbox: more than one "@" outside quoted strings and
// comments. The header shows every mailbox of such a text while the envelope takes only one,
// so it is refused whether validation is on or off.
bool NamesSeveralMailboxes(UniString const& text) {
  int const first = PosOutsideQuotes(text, kUnitAt, 1);
  return first > 0 && PosOutsideQuotes(text, kUnitAt, first + 1) > 0;
}

// Whether the message's splitter (which the envelope and the header both use) finds in the
// normal form exactly the name, address and rest it was built from.
bool SplitsAsBuilt(UniString const& result, UniString const& name, UniString const& address, UniString const& rest) {
  if (!IsClosedPhrase(name) || !IsClosedPhrase(rest)) return false;
  AnsiString splitName, splitAddress, splitRest;
  clsSMTPEmail::SplitEmailAddress(result.GetAnsiString(1), &splitName, &splitAddress, &splitRest);
  return splitName == name.GetAnsiString(1) && splitAddress == address.GetAnsiString(1) &&
         splitRest == rest.GetAnsiString(1);
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

  // A quoted local part may hold blanks, which the expression's runs of non-blanks would split
  // into a name and another mailbox: it is taken whole, with the name before it (and a bracket
  // that ends the name), the domain up to the next blank and the rest after that.
  int quoteStart = 0;
  int quoteEnd = 0;
  bool const quotedLocal = FindQuotedLocalPart(address, &quoteStart, &quoteEnd);
  if (quotedLocal) {
    name = address.Left(quoteStart - 1).TrimRight();
    local = address.SubString(quoteStart, quoteEnd - quoteStart + 1);
    if (name.IsNotEmpty() && (name[name.Length()] == kUnitLess || name[name.Length()] == kUnitOpenSquare)) {
      local = Unit(name[name.Length()]) + local;
      name = name.Left(name.Length() - 1);
    }
    int blank = quoteEnd + 2;
    while (blank <= address.Length() && !IsSpace(address[blank])) ++blank;
    domain = address.SubString(quoteEnd + 2, blank - quoteEnd - 2);
    rest = address.SubString(blank, address.Length());
  }

  // "Name<local@domain>comment" without blanks: the pieces glued to the brackets move out.
  int const less = quotedLocal ? 0 : local.Pos(kUnitLess);
  if (less > 0) {
    name = name + local.Left(less - 1);
    local = local.SubString(less, local.Length());
  }
  int const greater = domain.Pos(kUnitGreater);
  if (greater > 0) {
    rest = domain.SubString(greater + 1, domain.Length()) + rest;
    domain = domain.Left(greater);
  }
  bool const nameHoldsQuote = name.Pos(kUnitQuote) > 0;
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
  // A local part that only ends in a quote is quoted here, unless that quote may close one
  // opened in the name: 'a"b"@c' is no name "a" with the mailbox "b"@c.
  if (local[1] != kUnitQuote && local[local.Length()] == kUnitQuote && nameHoldsQuote) {
    return UniString();
  }
  local = CheckEmailEnclosure(local, kUnitQuote, kUnitQuote);
  if (local[1] == kUnitQuote ? !IsQuotedLocalPart(local) : !Matches(kLocalPartExpression, local, failure)) {
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
  UniString shown;
  UniString result;
  if (name.IsNotEmpty() || rest.IsNotEmpty()) {
    shown = Unit(kUnitLess) + mailbox + Unit(kUnitGreater);
    result = name.IsNotEmpty() ? name + UniString(" ") + shown : shown;
    if (rest.IsNotEmpty()) result = result + UniString(" ") + rest;
  } else {
    shown = mailbox;
    if (openBracket != 0) shown = Unit(openBracket) + shown;
    if (closeBracket != 0) shown = shown + Unit(closeBracket);
    result = shown;
  }
  // A name or comment whose quotes or brackets would move the address elsewhere is refused
  // rather than sent to a mailbox the header does not show.
  return SplitsAsBuilt(result, name, shown, rest) ? result : UniString();
}

}  // namespace

int PosOutsideQuotes(UniString const& text, unsigned short wanted, int start) {
  bool quoted = false;
  int depth = 0;
  for (int i = start; i <= text.Length(); ++i) {
    unsigned short const unit = text[i];
    if (quoted || depth > 0) {
      if (unit == kUnitBackslash) {
        ++i;
      } else if (quoted) {
        quoted = unit != kUnitQuote;
      } else if (unit == kUnitOpenParen) {
        ++depth;
      } else if (unit == kUnitCloseParen) {
        --depth;
      }
      continue;
    }
    if (unit == wanted) return i;
    if (unit == kUnitQuote) quoted = true;
    if (unit == kUnitOpenParen) depth = 1;
  }
  return 0;
}

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
  if (NamesSeveralMailboxes(trimmed)) {
    debug.Output(kDebugInfo, UniString("More than one mailbox: ") + trimmed);
    if (error != nullptr) *error = trimmed;
    return;
  }

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
