// MD5 (RFC 1321) and HMAC-MD5 (RFC 2104), the digest under CRAM-MD5 (RFC 2195).
// Interface: md5_Init, md5_Update, md5_Final over an MD5_CTX as in the RFC's reference code;
// md5_Transform compresses one 64-byte block, md5_Encode/md5_Decode convert between 32-bit words
// and little-endian bytes; HMAC_MD5 keys the digest with a 64-byte block; CRAMMD5Answer builds the
// text a CRAM-MD5 client answers with ("user" + " " + 32 lower-case hex digits).
// Relies on nothing but AnsiString; no library underneath. Never fails.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/AnsiString.h"

struct MD5_CTX {
  uint32_t state[4];   // A, B, C, D
  uint32_t count[2];   // number of bits, modulo 2^64 (low word first)
  unsigned char buffer[64];
};

void md5_Init(MD5_CTX* context);
void md5_Update(MD5_CTX* context, unsigned char const* input, size_t length);
// Writes the 16-byte digest and clears the whole context.
void md5_Final(unsigned char digest[16], MD5_CTX* context);
void md5_Transform(uint32_t state[4], unsigned char const block[64]);
void md5_Encode(unsigned char* output, uint32_t const* input, size_t length);
void md5_Decode(uint32_t* output, unsigned char const* input, size_t length);

// HMAC-MD5 of data under key (a key longer than 64 bytes is replaced by its digest).
void HMAC_MD5(unsigned char const* key, size_t keyLength, unsigned char const* data,
              size_t dataLength, unsigned char digest[16]);

// The CRAM-MD5 answer before Base64: user, one blank, HMAC-MD5(password, challenge) in hex.
AnsiString CRAMMD5Answer(AnsiString const& user, AnsiString const& password,
                         AnsiString const& challenge);
