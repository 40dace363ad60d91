// TextEncoders: small byte-string encoders over AnsiString: hexadecimal digits for
// quoted-printable, removal of one line end, Base64 (UUEncode/UUEncodeString write Base64,
// not uuencoding) and the reversible scrambling of passwords kept in the preference files.
// Relies on AnsiString. Nothing here reports errors: a failed allocation gives an empty result,
// and the raw-buffer forms never write outside the sizes they are given.
#pragma once

#include "core/AnsiString.h"

// Two upper-case hexadecimal digits, high nibble first.
AnsiString CharToHex(unsigned char byte);

// The text without one trailing line end (LF, CR LF or CR).
AnsiString TrimCRLF(AnsiString text);

// Base64 of length bytes into out as one unbroken line, followed by a zero byte; out must hold
// 4 * ceil(length / 3) + 1 bytes. Returns the number of characters written (without the zero).
int UUEncode(unsigned char const* data, int length, char* out);

// The Base64 text of the bytes.
AnsiString UUEncodeString(AnsiString bytes);

// Decodes Base64 text into out, writing at most outSize bytes; characters outside the alphabet
// are not skipped (they decode as wrong bytes). Returns the number of bytes written.
int Base64Decode(AnsiString const& text, unsigned char* out, int outSize);

// The decoded bytes of the trimmed text, up to the first zero byte.
AnsiString Base64DecodeString(AnsiString text);

// The scrambled form of a password (2L characters, 2L + 1 for an odd length L), and back.
AnsiString EncryptPassword(AnsiString password);
AnsiString DecryptPassword(AnsiString scrambled);
