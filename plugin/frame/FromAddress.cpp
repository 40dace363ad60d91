// FromAddress: splitting the sender into the dialog's two fields and joining them again.
#include "plugin/frame/FromAddress.h"

#include "mime/CleanOneEmailAddress.h"

namespace {

// Trimmed, one double quote dropped at the start and one at the end, trimmed again.
UniString Unquoted(UniString text) {
  text = text.Trim();
  if (text.IsNotEmpty() && text[1] == '"') text = text.SubString(2, text.Length() - 1);
  if (text.IsNotEmpty() && text[text.Length()] == '"') text = text.Left(text.Length() - 1);
  return text.Trim();
}

}  // namespace

void SplitFromAddress(UniString const& from, UniString* name, UniString* address) {
  UniString cleaned;
  CleanOneEmailAddress(from, &cleaned, nullptr);
  *name = UniString();
  *address = cleaned;
  int const open = address->Pos(static_cast<unsigned short>('<'));
  if (open > 0) {
    *name = Unquoted(address->Left(open - 1));
    *address = address->SubString(open + 1, address->Length() - open);
  }
  int const close = address->Pos(static_cast<unsigned short>('>'));
  if (close > 0) {
    UniString const comment = Unquoted(address->SubString(close + 1, address->Length() - close));
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
  if (name.IsNotEmpty()) text = UniString("\"") + name + UniString("\"");
  if (address.IsNotEmpty()) {
    if (text.IsNotEmpty()) text += UniString(" ");
    text += UniString("<") + address + UniString(">");
  }
  return text;
}
