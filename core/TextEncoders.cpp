// TextEncoders (see TextEncoders.h).
// UUEncode turns each 12 bits into two characters through one 4096-entry table, reading six
// input bytes at a time; Base64Decode checks its output bound before every byte it writes.
// The password scrambling interleaves each (letter-mirrored) character with filler characters
// picked from a fixed table; decryption simply drops the fillers.
#include "core/TextEncoders.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr char g_chrHexDigits[] = "0123456789ABCDEF";
constexpr char g_chrBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Scrambling table: the ten digits and the 26 letters, each letter once in one case.
constexpr char g_chrScrambleTable[] = "4719036285pQmWnEbRvTcYxUzIlOkAjSgDhF";
constexpr int kScrambleTableLength = 36;

// Two Base64 characters for every 12-bit value.
struct stcBase64PairTable {
  char pairs[4096][2];
  constexpr stcBase64PairTable() : pairs() {
    for (int v = 0; v < 4096; ++v) {
      pairs[v][0] = g_chrBase64Alphabet[v >> 6];
      pairs[v][1] = g_chrBase64Alphabet[v & 63];
    }
  }
};
constexpr stcBase64PairTable g_tblBase64Pairs;

// Base64 value of each 7-bit character, 64 for anything outside the alphabet.
struct stcBase64DecodeTable {
  unsigned char values[128];
  constexpr stcBase64DecodeTable() : values() {
    for (int c = 0; c < 128; ++c) values[c] = 64;
    for (int v = 0; v < 64; ++v) values[int(g_chrBase64Alphabet[v])] = static_cast<unsigned char>(v);
  }
};
constexpr stcBase64DecodeTable g_tblBase64Decode;

inline unsigned DecodeValue(unsigned char c) { return c < 128 ? g_tblBase64Decode.values[c] : 64u; }

inline void PutPair(char* out, uint32_t twelveBits) {
  std::memcpy(out, g_tblBase64Pairs.pairs[twelveBits], 2);
}

inline void EncodeGroup(unsigned char const* in, char* out) {
  uint32_t v = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | uint32_t(in[2]);
  PutPair(out, v >> 12);
  PutPair(out + 2, v & 0xFFFu);
}

inline void EncodeSix(unsigned char const* in, char* out) {
  uint64_t v;
  std::memcpy(&v, in, 8);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  PutPair(out, uint32_t(v >> 52));
  PutPair(out + 2, uint32_t(v >> 40) & 0xFFFu);
  PutPair(out + 4, uint32_t(v >> 28) & 0xFFFu);
  PutPair(out + 6, uint32_t(v >> 16) & 0xFFFu);
}

// 1-based position of c in the scrambling table, 0 when it is not there.
int ScramblePosition(char c) {
  for (int i = 0; i < kScrambleTableLength; ++i)
    if (g_chrScrambleTable[i] == c) return i + 1;
  return 0;
}

inline int Mod26(int64_t value) { return int(((value % 26) + 26) % 26); }

}  // namespace

AnsiString CharToHex(unsigned char byte) {
  char digits[2] = {g_chrHexDigits[byte >> 4], g_chrHexDigits[byte & 15]};
  return AnsiString(digits, 2);
}

AnsiString TrimCRLF(AnsiString text) {
  int length = text.Length();
  if (length == 0) return text;
  char const* bytes = text.c_str();
  int cut = 0;
  if (bytes[length - 1] == '\n') {
    cut = (length >= 2 && bytes[length - 2] == '\r') ? 2 : 1;
  } else if (bytes[length - 1] == '\r') {
    cut = 1;
  }
  if (cut == 0) return text;
  return AnsiString(bytes, length - cut);
}

int UUEncode(unsigned char const* data, int length, char* out) {
  if (!out) return 0;
  if (!data || length <= 0) {
    out[0] = 0;
    return 0;
  }
  unsigned char const* in = data;
  char* o = out;
  int remaining = length;
  // Six bytes per step from one 64-bit big-endian read (of which two bytes are unused, so at
  // least eight must remain); four table lookups give the eight characters.
  while (remaining >= 14) {
    EncodeSix(in, o);
    EncodeSix(in + 6, o + 8);
    in += 12;
    o += 16;
    remaining -= 12;
  }
  while (remaining >= 3) {
    EncodeGroup(in, o);
    in += 3;
    o += 4;
    remaining -= 3;
  }
  if (remaining > 0) {
    // The missing bytes count as zero; their characters become '='.
    uint32_t v = uint32_t(in[0]) << 16;
    if (remaining == 2) v |= uint32_t(in[1]) << 8;
    PutPair(o, v >> 12);
    PutPair(o + 2, v & 0xFFFu);
    o[3] = '=';
    if (remaining == 1) o[2] = '=';
    o += 4;
  }
  *o = 0;
  return int(o - out);
}

AnsiString UUEncodeString(AnsiString bytes) {
  int length = bytes.Length();
  if (length == 0) return AnsiString();
  int64_t encodedLength = 4 * ((int64_t(length) + 2) / 3);
  if (encodedLength > INT32_MAX - 2) return AnsiString();
  char* buffer = new (std::nothrow) char[size_t(encodedLength) + 1];
  if (!buffer) return AnsiString();
  int written = UUEncode(reinterpret_cast<unsigned char const*>(bytes.c_str()), length, buffer);
  AnsiString result(buffer, written);
  delete[] buffer;
  return result;
}

int Base64Decode(AnsiString const& text, unsigned char* out, int outSize) {
  if (!out || outSize <= 0) return 0;
  unsigned char const* t = reinterpret_cast<unsigned char const*>(text.c_str());
  int length = text.Length();
  int n = 0;
  for (int i = 0; i < length; i += 4) {
    int remaining = length - i;
    if (remaining < 2) break;  // a single trailing character yields nothing
    unsigned v1 = DecodeValue(t[i]);
    unsigned v2 = DecodeValue(t[i + 1]);
    if (n >= outSize) break;
    out[n++] = static_cast<unsigned char>((v1 << 2) | (v2 >> 4));
    if (remaining >= 3 && t[i + 2] != '=') {
      unsigned v3 = DecodeValue(t[i + 2]);
      if (n >= outSize) break;
      out[n++] = static_cast<unsigned char>((v2 << 4) | (v3 >> 2));
    }
    if (remaining >= 4 && t[i + 3] != '=') {
      unsigned v3 = DecodeValue(t[i + 2]);
      unsigned v4 = DecodeValue(t[i + 3]);
      if (n >= outSize) break;
      out[n++] = static_cast<unsigned char>((v3 << 6) | v4);
    }
    if (n >= outSize - 1) break;
  }
  return n;
}

AnsiString Base64DecodeString(AnsiString text) {
  AnsiString trimmed = text.Trim();
  int length = trimmed.Length();
  if (length == 0) return AnsiString();
  unsigned char* buffer = new (std::nothrow) unsigned char[size_t(length) + 1];
  if (!buffer) return AnsiString();
  int written = Base64Decode(trimmed, buffer, length + 1);
  int kept = 0;
  while (kept < written && buffer[kept] != 0) ++kept;
  AnsiString result(reinterpret_cast<char const*>(buffer), kept);
  delete[] buffer;
  return result;
}

AnsiString EncryptPassword(AnsiString password) {
  int length = password.Length();
  if (length == 0) return AnsiString();
  int64_t bufferSize = 2 * int64_t(length) + 2;
  if (bufferSize > INT32_MAX) return AnsiString();
  char* buffer = new (std::nothrow) char[size_t(bufferSize)];
  if (!buffer) return AnsiString();

  char const* text = password.c_str();
  char last = text[length - 1];
  int start = ScramblePosition(last);
  if (start == 0) start = ScramblePosition(AnsiString(last).UpperCase().c_str()[0]);
  if (start == 0) start = 15;

  int step;
  if (length <= 3) {
    step = 2 * length;
  } else if (length >= kScrambleTableLength - 4 && length <= kScrambleTableLength + 4) {
    step = length / 2;
  } else {
    step = length;
  }

  int pos = start;
  // Same as adding step and subtracting the table length while above it.
  auto advance = [&]() { pos = int((int64_t(pos) - 1 + step) % kScrambleTableLength) + 1; };

  int emitted = 0;
  if (length % 2 == 1) {
    advance();
    buffer[emitted++] = g_chrScrambleTable[pos - 1];
  }
  for (int i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = char('a' + Mod26(int64_t(25 - (c - 'A')) - length));
    } else if (c >= 'a' && c <= 'z') {
      c = char('A' + Mod26(int64_t(25 - (c - 'a')) + length));
    }
    buffer[emitted++] = c;
    advance();
    buffer[emitted++] = g_chrScrambleTable[pos - 1];
  }
  AnsiString result(buffer, emitted);
  delete[] buffer;
  return result;
}

AnsiString DecryptPassword(AnsiString scrambled) {
  int length = scrambled.Length();
  if (length == 0) return AnsiString();
  char* buffer = new (std::nothrow) char[size_t(length)];
  if (!buffer) return AnsiString();

  char const* text = scrambled.c_str();
  int k = length / 2;
  int taken = 0;
  // The password's characters sit at the even places for an odd total, the odd places otherwise.
  for (int i = (length % 2 == 1) ? 1 : 0; i < length; i += 2) {
    char e = text[i];
    if (e >= 'A' && e <= 'Z') {
      e = char('a' + 25 - Mod26(int64_t(e - 'A') - k));
    } else if (e >= 'a' && e <= 'z') {
      e = char('A' + 25 - Mod26(int64_t(e - 'a') + k));
    }
    if (e == 0) break;
    buffer[taken++] = e;
  }
  AnsiString result(buffer, taken);
  delete[] buffer;
  return result;
}
