// Tests of UniString::RemoveAccents: the worked examples, two-letter folds that change the
// length, and every unit of the four Latin blocks checked against the folding tables written
// out here row by row (replacement: code points), independent of the code's range layout.
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "core/UniString.h"

namespace {

std::u16string Units(UniString const& s) {
  return s.Length() == 0 ? std::u16string()
                         : std::u16string(reinterpret_cast<char16_t const*>(s.GetBytes()), size_t(s.Length()));
}

UniString U(std::u16string const& text) {
  return UniString(reinterpret_cast<unsigned short const*>(text.data()), int(text.size()));
}

// Rows "replacement=code points" separated by ';', code points as "XXXX" or "XXXX-XXXX".
char const* const kRows =
    "A=00C0-00C5;a=00E0-00E5;AE=00C6;ae=00E6;C=00C7;c=00E7;Dj=00D0;dj=00F0;E=00C8-00CB;"
    "e=00E8-00EB;I=00CC-00CF;i=00EC-00EF;N=00D1;n=00F1;O=00D2-00D6;o=00F2-00F6;OE=008C;"
    "oe=009C;S=008A;s=009A;ss=00DF;U=00D9-00DC;u=00F9-00FC;Y=009F,00DD;y=00FD,00FF;"
    "'n=0149;A=0100,0102,0104,01CD,01DE,01E0,01FA,0200,0202,0226;"
    "a=0101,0103,0105,01CE,01DF,01E1,01FB,0201,0203,0227;AE=01E2,01FC;ae=01E3,01FD;"
    "C=0106,0108,010A,010C;c=0107,0109,010B,010D;D=010E;d=010F;Dj=0110;dj=0111;"
    "E=0112,0114,0116,0118,011A,0204,0206,0228;e=0113,0115,0117,0119,011B,0205,0207,0229;"
    "G=011C,011E,0120,0122,01E6,01F4;g=011D,011F,0121,0123,01E7,01F5;H=0124,0126,021E;"
    "h=0125,0127,021F;I=0128,012A,012C,012E,0130,01CF,0208,020A;"
    "i=0129,012B,012D,012F,0131,01D0,0209,020B;IJ=0132;ij=0133;J=0134;j=0135,01F0;"
    "K=0136,01E8;k=0137-0138,01E9;L=0139,013B,013D,013F,0141;l=013A,013C,013E,0140,0142;"
    "N=0143,0145,0147,014A,01F8;n=0144,0146,0148,014B,01F9;"
    "O=01A0,01D1,01EA,01EC,020C,020E,022A,022E,0230;"
    "o=0151,01A1,01D2,01EB,01ED,020D,020F,022B-022C,022F,0231;OE=0152;oe=0153;"
    "R=0154,0156,0158,0210,0212;r=0155,0157,0159,0211,0213;S=015A,015C,015E,0160,0218;"
    "s=015B,015D,015F,0161,017F,0219;T=0162,0164,0166,021A;t=0163,0165,0167,021B;"
    "U=0168,016A,016C,016E,0170,0172,01AF,01D3,01D5,01D7,01D9,01DB,0214,0216;"
    "u=0169,016B,016D,016F,0171,0173,01B0,01D4,01D6,01D8,01DA,01DC,0215,0217;W=0174;w=0175;"
    "Y=0176,0178,0232;y=0177,0233;YR=01A6;Z=0179,017B,017D;z=017A,017C,017E;"
    "h=1E96;t=1E97;w=1E98;y=1E99;s=1E9B";

// Latin Extended Additional ranges: even code points the upper-case letter, odd the lower.
char const* const kAdditional =
    "A=1E00-1E01;B=1E02-1E07;C=1E08-1E09;D=1E0A-1E13;E=1E14-1E1D;F=1E1E-1E1F;G=1E20-1E21;"
    "H=1E22-1E2B;I=1E2C-1E2F;K=1E30-1E35;L=1E36-1E3D;M=1E3E-1E43;N=1E44-1E4B;O=1E4C-1E53;"
    "P=1E54-1E57;R=1E58-1E5F;S=1E60-1E69;T=1E6A-1E71;U=1E72-1E7B;V=1E7C-1E7F;W=1E80-1E89;"
    "X=1E8A-1E8D;Y=1E8E-1E8F;Z=1E90-1E95;A=1EA0-1EB7;E=1EB8-1EC7;I=1EC8-1ECB;O=1ECC-1EE3;"
    "U=1EE4-1EF1;Y=1EF2-1EF9";

template <typename Each>
void ForEachRow(char const* rows, Each each) {
  std::stringstream all(rows);
  std::string row;
  while (std::getline(all, row, ';')) {
    size_t eq = row.find('=');
    std::string replacement = row.substr(0, eq);
    std::stringstream points(row.substr(eq + 1));
    std::string item;
    while (std::getline(points, item, ',')) {
      unsigned first = std::stoul(item.substr(0, 4), nullptr, 16);
      unsigned last = item.size() > 4 ? std::stoul(item.substr(5, 4), nullptr, 16) : first;
      for (unsigned u = first; u <= last; ++u) each(replacement, u);
    }
  }
}

TEST(UniStringAccentsTest, Examples) {
  struct {
    std::u16string text;
    std::u16string expected;
  } const cases[] = {
      {u"Cr\u00E8me Br\u00FBl\u00E9e", u"Creme Brulee"},
      {u"Stra\u00DFe", u"Strasse"},
      {u"\u00C6on", u"AEon"},
      {u"\u0153uvre", u"oeuvre"},
      {u"\u0149", u"'n"},
      {u"\u0110\u00D0\u0111\u00F0", u"DjDjdjdj"},
      {u"\u00D8\u00DE\u01C4", u"\u00D8\u00DE\u01C4"},
      {u"\u008A\u009C", u"Soe"},
      {u"\u022C\u022D", u"o\u022D"},
      {u"\u1EA0\u1EA1\u1E9E", u"Aa\u1E9E"},
      {u"\u03B1\u0436\u4E2D ASCII", u"\u03B1\u0436\u4E2D ASCII"},
      {u"\u00DF\u00DF\u00E9", u"sssse"},  // two splices in a row, then a one-letter fold
      {u"", u""},
  };
  for (auto const& c : cases) EXPECT_EQ(Units(UniString::RemoveAccents(U(c.text))), c.expected);
  EXPECT_EQ(UniString::RemoveAccents(UniString()).GetBytes(), nullptr);
}

TEST(UniStringAccentsTest, SplicedTextEndsAtZeroUnits) {
  // Without a two-letter fold the zero unit stays; a splice rebuilds both sides.
  EXPECT_EQ(Units(UniString::RemoveAccents(U(std::u16string(u"\u00E9\0x", 3)))), std::u16string(u"e\0x", 3));
  EXPECT_EQ(Units(UniString::RemoveAccents(U(std::u16string(u"a\0b\u00DFc\0d", 7)))), u"assc");
}

TEST(UniStringAccentsTest, EveryUnitOfTheLatinBlocksMatchesTheTables) {
  std::map<unsigned, std::u16string> expected;
  ForEachRow(kRows, [&](std::string const& r, unsigned u) {
    EXPECT_EQ(expected.count(u), 0u) << std::hex << u << " listed twice";
    expected[u] = std::u16string(r.begin(), r.end());
  });
  ForEachRow(kAdditional, [&](std::string const& r, unsigned u) {
    char letter = u % 2 == 0 ? r[0] : char(r[0] - 'A' + 'a');
    expected[u] = std::u16string(1, char16_t(letter));
  });
  int folded = 0;
  for (unsigned u = 0; u <= 0xFFFF; ++u) {
    auto it = expected.find(u);
    std::u16string want = it == expected.end() ? std::u16string(1, char16_t(u)) : it->second;
    std::u16string text{u'<', char16_t(u), u'>'};
    std::u16string got = Units(UniString::RemoveAccents(U(text)));
    if (got != u'<' + want + u'>') {
      ADD_FAILURE() << "U+" << std::hex << u;
    } else if (it != expected.end()) {
      ++folded;
    }
  }
  EXPECT_EQ(folded, int(expected.size()));
}

}  // namespace
