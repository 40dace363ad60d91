// HostText: each piece of host text is copied out through a buffer of its own size and becomes a
// UniString up to its first zero unit. Lines are found by searching the host text for CR from
// the end of the previous line, so the text is neither copied nor changed. Joining appends each
// line's units and a CR between lines.
#include "plugin/HostText.h"

#include <memory>
#include <new>

namespace {

fmx::unichar16 const kCarriageReturn = 0x000D;

// Units position .. position + size - 1 of the text into *out, cut at a first U+0000.
// False, with *out empty, when the buffer cannot be allocated.
bool CopyUnits(fmx::Text const& text, fmx::uint32 position, fmx::uint32 size, UniString* out) {
  *out = UniString();
  if (size == 0) return true;
  std::unique_ptr<fmx::unichar16[]> buffer(new (std::nothrow) fmx::unichar16[size_t(size) + 1]);
  if (!buffer) return false;
  text.GetUnicode(buffer.get(), position, size);
  buffer[size] = 0;
  *out = UniString(buffer.get(), -1);
  return true;
}

}  // namespace

UniString ExtractFromFMXText(fmx::Text const& text) {
  UniString result;
  CopyUnits(text, 0, text.GetSize(), &result);
  return result;
}

void ExtractLinesFromFMXText(fmx::Text const& text, UniStringList* lines) {
  if (lines == nullptr) return;
  lines->Clear();

  fmx::Text separator;
  separator.AssignUnicodeWithLength(&kCarriageReturn, 1);

  fmx::uint32 const size = text.GetSize();
  fmx::uint32 start = 0;
  UniString line;
  while (start < size) {
    fmx::uint32 found = text.Find(separator, start);
    if (found == fmx::Text::kSize_Invalid) break;
    // A line whose buffer cannot be had is skipped; its CR is consumed all the same.
    if (CopyUnits(text, start, found - start, &line)) lines->Add(line);
    start = found + 1;
    // The text ended with this CR: what follows it is one empty line.
    if (start == size) lines->Add(UniString());
  }
  if (start < size && CopyUnits(text, start, size - start, &line)) lines->Add(line);
}

void InsertLinesIntoFMXText(UniStringList* lines, fmx::TextAutoPtr& text) {
  if (lines == nullptr || lines->Count() == 0) return;
  fmx::Text piece;
  unsigned int const last = lines->Count() - 1;
  unsigned int index = 0;
  for (UniString const& line : *lines) {
    if (line.IsNotEmpty()) {
      piece.AssignUnicodeWithLength(line.GetBytes(), fmx::uint32(line.Length()));
      text->AppendText(piece);
    }
    if (index++ < last) {
      piece.AssignUnicodeWithLength(&kCarriageReturn, 1);
      text->AppendText(piece);
    }
  }
}
