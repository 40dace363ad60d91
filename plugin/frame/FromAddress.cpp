// FromAddress: splitting the sender into the dialog's two fields and joining them again.
#include "plugin/frame/FromAddress.h"

#include "mime/CleanOneEmailAddress.h"

namespace {

constexpr unsigned short kQuote = '"';
constexpr unsigned short kBackslash = '\\';

// The text a display name or comment shows (RFC 5322 3.2.4): each quoted string without its
// quotes and with its backslash escapes undone; comments and other text as they stand. Trimmed.
UniString PhraseText(UniString const& phrase) {
  UniString const text = phrase.Trim();
  UniString shown;
  bool quoted = false;
  int depth = 0;
  for (int i = 1; i <= text.Length(); ++i) {
    unsigned short unit = text[i];
    if (quoted) {
      if (unit == kQuote) {
        quoted = false;
        continue;
      }
      if (unit == kBackslash && i < text.Length()) unit = text[++i];
    } else if (depth > 0) {
      if (unit == kBackslash && i < text.Length()) {
        shown += UniString(unit);
        unit = text[++i];
      } else if (unit == '(') {
        ++depth;
      } else if (unit == ')') {
        --depth;
      }
    } else if (unit == kQuote) {
      quoted = true;
      continue;
    } else if (unit == '(') {
      depth = 1;
    }
    shown += UniString(unit);
  }
  return shown.Trim();
}

}  // namespace

void SplitFromAddress(UniString const& from, UniString* name, UniString* address) {
  UniString cleaned;
  CleanOneEmailAddress(from, &cleaned, nullptr);
  *name = UniString();
  *address = cleaned;
  int const open = PosOutsideQuotes(*address, '<', 1);
  if (open > 0) {
    *name = PhraseText(address->Left(open - 1));
    *address = address->SubString(open + 1, address->Length() - open);
  }
  int const close = PosOutsideQuotes(*address, '>', 1);
  if (close > 0) {
    UniString const comment = PhraseText(address->SubString(close + 1, address->Length() - close));
    if (comment.IsNotEmpty()) *name = name->IsEmpty() ? comment : *name + UniString(" ") + comment;
    *address = address->Left(close - 1);
  }
  // An address given in square brackets is cleaned in them; the field shows it bare, so that the
  // sender joined again (in angle brackets) cleans to the same address.
  int const length = address->Length();
  if (length >= 2 && (*address)[1] == '[' && (*address)[length] == ']') {
    *address = address->SubString(2, length - 2);
  }
}

UniString ComposeFromAddress(UniString const& nameField, UniString const& addressField) {
  // The split gives both parts trimmed, so blanks around a typed field do not come back.
  UniString const name = nameField.Trim();
  UniString const address = addressField.Trim();
  UniString text;
  // The name as one quoted string, its quotes and backslashes escaped, so that it reads back as
  // typed and no quote in it ends the string early.
  if (name.IsNotEmpty()) {
    text = UniString(kQuote);
    for (int i = 1; i <= name.Length(); ++i) {
      if (name[i] == kQuote || name[i] == kBackslash) text += UniString(kBackslash);
      text += UniString(name[i]);
    }
    text += UniString(kQuote);
  }
  if (address.IsNotEmpty()) {
    if (text.IsNotEmpty()) text += UniString(" ");
    text += UniString("<") + address + UniString(">");
  }
  return text;
}
