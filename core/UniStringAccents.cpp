// UniString::RemoveAccents: folds accented Latin letters to plain ASCII letters through a fixed
// table over 0080-00FF (with the five Windows-1252 letters of 0080-009F), 0100-024F and
// 1E00-1EFF. Ligatures and a few special letters become two letters ("ss", "AE", "Dj", "'n").
// Every unit outside the table passes through unchanged. A two-letter fold splices the text
// the way SubString does, so the text on either side ends at its first zero unit.
// Relies on core/UniString.h; never throws (out of memory gives an empty string).
#include <cstddef>
#include <new>
#include <vector>

#include "core/UniString.h"

namespace {

struct stcFoldRange {
  unsigned short first;
  unsigned short last;
  char const* replacement;
};

// Latin-1 Supplement and Latin Extended-A/-B: each range folds to one replacement text.
stcFoldRange const kLatinFolds[] = {
    // 0080-00FF
    {0x008A, 0x008A, "S"},   {0x008C, 0x008C, "OE"},  {0x009A, 0x009A, "s"},
    {0x009C, 0x009C, "oe"},  {0x009F, 0x009F, "Y"},   {0x00C0, 0x00C5, "A"},
    {0x00C6, 0x00C6, "AE"},  {0x00C7, 0x00C7, "C"},   {0x00C8, 0x00CB, "E"},
    {0x00CC, 0x00CF, "I"},   {0x00D0, 0x00D0, "Dj"},  {0x00D1, 0x00D1, "N"},
    {0x00D2, 0x00D6, "O"},   {0x00D9, 0x00DC, "U"},   {0x00DD, 0x00DD, "Y"},
    {0x00DF, 0x00DF, "ss"},  {0x00E0, 0x00E5, "a"},   {0x00E6, 0x00E6, "ae"},
    {0x00E7, 0x00E7, "c"},   {0x00E8, 0x00EB, "e"},   {0x00EC, 0x00EF, "i"},
    {0x00F0, 0x00F0, "dj"},  {0x00F1, 0x00F1, "n"},   {0x00F2, 0x00F6, "o"},
    {0x00F9, 0x00FC, "u"},   {0x00FD, 0x00FD, "y"},   {0x00FF, 0x00FF, "y"},
    // 0100-017F
    {0x0100, 0x0100, "A"},   {0x0101, 0x0101, "a"},   {0x0102, 0x0102, "A"},
    {0x0103, 0x0103, "a"},   {0x0104, 0x0104, "A"},   {0x0105, 0x0105, "a"},
    {0x0106, 0x0106, "C"},   {0x0107, 0x0107, "c"},   {0x0108, 0x0108, "C"},
    {0x0109, 0x0109, "c"},   {0x010A, 0x010A, "C"},   {0x010B, 0x010B, "c"},
    {0x010C, 0x010C, "C"},   {0x010D, 0x010D, "c"},   {0x010E, 0x010E, "D"},
    {0x010F, 0x010F, "d"},   {0x0110, 0x0110, "Dj"},  {0x0111, 0x0111, "dj"},
    {0x0112, 0x0112, "E"},   {0x0113, 0x0113, "e"},   {0x0114, 0x0114, "E"},
    {0x0115, 0x0115, "e"},   {0x0116, 0x0116, "E"},   {0x0117, 0x0117, "e"},
    {0x0118, 0x0118, "E"},   {0x0119, 0x0119, "e"},   {0x011A, 0x011A, "E"},
    {0x011B, 0x011B, "e"},   {0x011C, 0x011C, "G"},   {0x011D, 0x011D, "g"},
    {0x011E, 0x011E, "G"},   {0x011F, 0x011F, "g"},   {0x0120, 0x0120, "G"},
    {0x0121, 0x0121, "g"},   {0x0122, 0x0122, "G"},   {0x0123, 0x0123, "g"},
    {0x0124, 0x0124, "H"},   {0x0125, 0x0125, "h"},   {0x0126, 0x0126, "H"},
    {0x0127, 0x0127, "h"},   {0x0128, 0x0128, "I"},   {0x0129, 0x0129, "i"},
    {0x012A, 0x012A, "I"},   {0x012B, 0x012B, "i"},   {0x012C, 0x012C, "I"},
    {0x012D, 0x012D, "i"},   {0x012E, 0x012E, "I"},   {0x012F, 0x012F, "i"},
    {0x0130, 0x0130, "I"},   {0x0131, 0x0131, "i"},   {0x0132, 0x0132, "IJ"},
    {0x0133, 0x0133, "ij"},  {0x0134, 0x0134, "J"},   {0x0135, 0x0135, "j"},
    {0x0136, 0x0136, "K"},   {0x0137, 0x0138, "k"},   {0x0139, 0x0139, "L"},
    {0x013A, 0x013A, "l"},   {0x013B, 0x013B, "L"},   {0x013C, 0x013C, "l"},
    {0x013D, 0x013D, "L"},   {0x013E, 0x013E, "l"},   {0x013F, 0x013F, "L"},
    {0x0140, 0x0140, "l"},   {0x0141, 0x0141, "L"},   {0x0142, 0x0142, "l"},
    {0x0143, 0x0143, "N"},   {0x0144, 0x0144, "n"},   {0x0145, 0x0145, "N"},
    {0x0146, 0x0146, "n"},   {0x0147, 0x0147, "N"},   {0x0148, 0x0148, "n"},
    {0x0149, 0x0149, "'n"},  {0x014A, 0x014A, "N"},   {0x014B, 0x014B, "n"},
    {0x0151, 0x0151, "o"},   {0x0152, 0x0152, "OE"},  {0x0153, 0x0153, "oe"},
    {0x0154, 0x0154, "R"},   {0x0155, 0x0155, "r"},   {0x0156, 0x0156, "R"},
    {0x0157, 0x0157, "r"},   {0x0158, 0x0158, "R"},   {0x0159, 0x0159, "r"},
    {0x015A, 0x015A, "S"},   {0x015B, 0x015B, "s"},   {0x015C, 0x015C, "S"},
    {0x015D, 0x015D, "s"},   {0x015E, 0x015E, "S"},   {0x015F, 0x015F, "s"},
    {0x0160, 0x0160, "S"},   {0x0161, 0x0161, "s"},   {0x0162, 0x0162, "T"},
    {0x0163, 0x0163, "t"},   {0x0164, 0x0164, "T"},   {0x0165, 0x0165, "t"},
    {0x0166, 0x0166, "T"},   {0x0167, 0x0167, "t"},   {0x0168, 0x0168, "U"},
    {0x0169, 0x0169, "u"},   {0x016A, 0x016A, "U"},   {0x016B, 0x016B, "u"},
    {0x016C, 0x016C, "U"},   {0x016D, 0x016D, "u"},   {0x016E, 0x016E, "U"},
    {0x016F, 0x016F, "u"},   {0x0170, 0x0170, "U"},   {0x0171, 0x0171, "u"},
    {0x0172, 0x0172, "U"},   {0x0173, 0x0173, "u"},   {0x0174, 0x0174, "W"},
    {0x0175, 0x0175, "w"},   {0x0176, 0x0176, "Y"},   {0x0177, 0x0177, "y"},
    {0x0178, 0x0178, "Y"},   {0x0179, 0x0179, "Z"},   {0x017A, 0x017A, "z"},
    {0x017B, 0x017B, "Z"},   {0x017C, 0x017C, "z"},   {0x017D, 0x017D, "Z"},
    {0x017E, 0x017E, "z"},   {0x017F, 0x017F, "s"},
    // 0180-024F
    {0x01A0, 0x01A0, "O"},   {0x01A1, 0x01A1, "o"},   {0x01A6, 0x01A6, "YR"},
    {0x01AF, 0x01AF, "U"},   {0x01B0, 0x01B0, "u"},   {0x01CD, 0x01CD, "A"},
    {0x01CE, 0x01CE, "a"},   {0x01CF, 0x01CF, "I"},   {0x01D0, 0x01D0, "i"},
    {0x01D1, 0x01D1, "O"},   {0x01D2, 0x01D2, "o"},   {0x01D3, 0x01D3, "U"},
    {0x01D4, 0x01D4, "u"},   {0x01D5, 0x01D5, "U"},   {0x01D6, 0x01D6, "u"},
    {0x01D7, 0x01D7, "U"},   {0x01D8, 0x01D8, "u"},   {0x01D9, 0x01D9, "U"},
    {0x01DA, 0x01DA, "u"},   {0x01DB, 0x01DB, "U"},   {0x01DC, 0x01DC, "u"},
    {0x01DE, 0x01DE, "A"},   {0x01DF, 0x01DF, "a"},   {0x01E0, 0x01E0, "A"},
    {0x01E1, 0x01E1, "a"},   {0x01E2, 0x01E2, "AE"},  {0x01E3, 0x01E3, "ae"},
    {0x01E6, 0x01E6, "G"},   {0x01E7, 0x01E7, "g"},   {0x01E8, 0x01E8, "K"},
    {0x01E9, 0x01E9, "k"},   {0x01EA, 0x01EA, "O"},   {0x01EB, 0x01EB, "o"},
    {0x01EC, 0x01EC, "O"},   {0x01ED, 0x01ED, "o"},   {0x01F0, 0x01F0, "j"},
    {0x01F4, 0x01F4, "G"},   {0x01F5, 0x01F5, "g"},   {0x01F8, 0x01F8, "N"},
    {0x01F9, 0x01F9, "n"},   {0x01FA, 0x01FA, "A"},   {0x01FB, 0x01FB, "a"},
    {0x01FC, 0x01FC, "AE"},  {0x01FD, 0x01FD, "ae"},  {0x0200, 0x0200, "A"},
    {0x0201, 0x0201, "a"},   {0x0202, 0x0202, "A"},   {0x0203, 0x0203, "a"},
    {0x0204, 0x0204, "E"},   {0x0205, 0x0205, "e"},   {0x0206, 0x0206, "E"},
    {0x0207, 0x0207, "e"},   {0x0208, 0x0208, "I"},   {0x0209, 0x0209, "i"},
    {0x020A, 0x020A, "I"},   {0x020B, 0x020B, "i"},   {0x020C, 0x020C, "O"},
    {0x020D, 0x020D, "o"},   {0x020E, 0x020E, "O"},   {0x020F, 0x020F, "o"},
    {0x0210, 0x0210, "R"},   {0x0211, 0x0211, "r"},   {0x0212, 0x0212, "R"},
    {0x0213, 0x0213, "r"},   {0x0214, 0x0214, "U"},   {0x0215, 0x0215, "u"},
    {0x0216, 0x0216, "U"},   {0x0217, 0x0217, "u"},   {0x0218, 0x0218, "S"},
    {0x0219, 0x0219, "s"},   {0x021A, 0x021A, "T"},   {0x021B, 0x021B, "t"},
    {0x021E, 0x021E, "H"},   {0x021F, 0x021F, "h"},   {0x0226, 0x0226, "A"},
    {0x0227, 0x0227, "a"},   {0x0228, 0x0228, "E"},   {0x0229, 0x0229, "e"},
    {0x022A, 0x022A, "O"},   {0x022B, 0x022C, "o"},   {0x022E, 0x022E, "O"},
    {0x022F, 0x022F, "o"},   {0x0230, 0x0230, "O"},   {0x0231, 0x0231, "o"},
    {0x0232, 0x0232, "Y"},   {0x0233, 0x0233, "y"},
};

// Latin Extended Additional: in each range even code points fold to the upper-case base
// letter and odd ones to the lower-case letter.
struct stcAdditionalRange {
  unsigned short first;
  unsigned short last;
  char base;
};

stcAdditionalRange const kAdditionalFolds[] = {
    {0x1E00, 0x1E01, 'A'}, {0x1E02, 0x1E07, 'B'}, {0x1E08, 0x1E09, 'C'}, {0x1E0A, 0x1E13, 'D'},
    {0x1E14, 0x1E1D, 'E'}, {0x1E1E, 0x1E1F, 'F'}, {0x1E20, 0x1E21, 'G'}, {0x1E22, 0x1E2B, 'H'},
    {0x1E2C, 0x1E2F, 'I'}, {0x1E30, 0x1E35, 'K'}, {0x1E36, 0x1E3D, 'L'}, {0x1E3E, 0x1E43, 'M'},
    {0x1E44, 0x1E4B, 'N'}, {0x1E4C, 0x1E53, 'O'}, {0x1E54, 0x1E57, 'P'}, {0x1E58, 0x1E5F, 'R'},
    {0x1E60, 0x1E69, 'S'}, {0x1E6A, 0x1E71, 'T'}, {0x1E72, 0x1E7B, 'U'}, {0x1E7C, 0x1E7F, 'V'},
    {0x1E80, 0x1E89, 'W'}, {0x1E8A, 0x1E8D, 'X'}, {0x1E8E, 0x1E8F, 'Y'}, {0x1E90, 0x1E95, 'Z'},
    {0x1EA0, 0x1EB7, 'A'}, {0x1EB8, 0x1EC7, 'E'}, {0x1EC8, 0x1ECB, 'I'}, {0x1ECC, 0x1EE3, 'O'},
    {0x1EE4, 0x1EF1, 'U'}, {0x1EF2, 0x1EF9, 'Y'},
};

// The folds as one lookup table over 0080-024F and 1E00-1EFF: up to two units each,
// count 0 for a unit that stays.
struct stcFold {
  unsigned char count;
  char units[2];
};

struct stcFoldTable {
  stcFold latin[0x250 - 0x80];
  stcFold additional[0x100];

  stcFoldTable() : latin(), additional() {
    for (stcFoldRange const& range : kLatinFolds) {
      for (unsigned u = range.first; u <= range.last; ++u) {
        stcFold& fold = latin[u - 0x80];
        fold.units[0] = range.replacement[0];
        fold.units[1] = range.replacement[1];
        fold.count = range.replacement[1] == 0 ? 1 : 2;
      }
    }
    for (stcAdditionalRange const& range : kAdditionalFolds) {
      for (unsigned u = range.first; u <= range.last; ++u) {
        stcFold& fold = additional[u - 0x1E00];
        fold.count = 1;
        fold.units[0] = (u % 2 == 0) ? range.base : static_cast<char>(range.base - 'A' + 'a');
      }
    }
    char const kSpecial[][2] = {{'\x96', 'h'}, {'\x97', 't'}, {'\x98', 'w'}, {'\x99', 'y'}, {'\x9B', 's'}};
    for (auto const& special : kSpecial) {
      stcFold& fold = additional[static_cast<unsigned char>(special[0])];
      fold.count = 1;
      fold.units[0] = special[1];
    }
  }

  stcFold const* Find(unsigned short u) const {
    if (u >= 0x80 && u < 0x250) return latin[u - 0x80].count ? &latin[u - 0x80] : nullptr;
    if (u >= 0x1E00 && u <= 0x1EFF) return additional[u - 0x1E00].count ? &additional[u - 0x1E00] : nullptr;
    return nullptr;
  }
};

stcFoldTable const& FoldTable() {
  static stcFoldTable const table;
  return table;
}

}  // namespace

UniString UniString::RemoveAccents(UniString const& text) {
  int length = text.Length();
  if (length == 0) return UniString();
  stcFoldTable const& table = FoldTable();
  unsigned short const* units = text.GetBytes();
  try {
    std::vector<unsigned short> out;
    out.reserve(static_cast<size_t>(length) + 8);
    // Index of the first zero unit written so far (a splice cuts the text before it there).
    size_t firstZero = static_cast<size_t>(-1);
    int end = length;
    bool tailCut = false;
    for (int i = 0; i < end; ++i) {
      unsigned short u = units[i];
      stcFold const* fold = table.Find(u);
      if (fold == nullptr) {
        if (u == 0 && firstZero == static_cast<size_t>(-1)) firstZero = out.size();
        out.push_back(u);
      } else if (fold->count == 1) {
        out.push_back(static_cast<unsigned char>(fold->units[0]));
      } else {
        // Splice: text before and after the letter are rebuilt pieces of the old text.
        if (firstZero != static_cast<size_t>(-1)) {
          out.resize(firstZero);
          firstZero = static_cast<size_t>(-1);
        }
        out.push_back(static_cast<unsigned char>(fold->units[0]));
        out.push_back(static_cast<unsigned char>(fold->units[1]));
        // After the first splice the rest holds no zero unit, so it is cut only once.
        for (int k = i + 1; k < end && !tailCut; ++k) {
          if (units[k] == 0) end = k;
        }
        tailCut = true;
      }
    }
    if (out.size() > 0x7FFFFFFD) return UniString();
    return UniString(out.data(), static_cast<int>(out.size()));
  } catch (std::bad_alloc const&) {
    return UniString();
  }
}
