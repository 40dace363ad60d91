// MD5 (RFC 1321) in the shape of the RFC's reference code, HMAC-MD5 (RFC 2104) over it, and the
// CRAM-MD5 answer (RFC 2195). Round constants and shifts are the standard's.
#include "smtp/MD5.h"

#include <cstring>

namespace {

constexpr uint32_t S11 = 7, S12 = 12, S13 = 17, S14 = 22;
constexpr uint32_t S21 = 5, S22 = 9, S23 = 14, S24 = 20;
constexpr uint32_t S31 = 4, S32 = 11, S33 = 16, S34 = 23;
constexpr uint32_t S41 = 6, S42 = 10, S43 = 15, S44 = 21;

unsigned char const kPadding[64] = {0x80};

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
inline uint32_t RotateLeft(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

inline void FF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t s, uint32_t ac) {
  a = RotateLeft(a + F(b, c, d) + x + ac, s) + b;
}
inline void GG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t s, uint32_t ac) {
  a = RotateLeft(a + G(b, c, d) + x + ac, s) + b;
}
inline void HH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t s, uint32_t ac) {
  a = RotateLeft(a + H(b, c, d) + x + ac, s) + b;
}
inline void II(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t s, uint32_t ac) {
  a = RotateLeft(a + I(b, c, d) + x + ac, s) + b;
}

}  // namespace

void md5_Init(MD5_CTX* context) {
  context->count[0] = context->count[1] = 0;
  context->state[0] = 0x67452301;
  context->state[1] = 0xefcdab89;
  context->state[2] = 0x98badcfe;
  context->state[3] = 0x10325476;
}

void md5_Update(MD5_CTX* context, unsigned char const* input, size_t length) {
  // Bytes already buffered, modulo 64.
  size_t index = (context->count[0] >> 3) & 0x3F;
  uint64_t bits = static_cast<uint64_t>(length) << 3;
  uint32_t low = context->count[0] + static_cast<uint32_t>(bits);
  if (low < context->count[0]) ++context->count[1];
  context->count[0] = low;
  context->count[1] += static_cast<uint32_t>(bits >> 32);

  size_t partLength = 64 - index;
  size_t i = 0;
  if (length >= partLength) {
    std::memcpy(&context->buffer[index], input, partLength);
    md5_Transform(context->state, context->buffer);
    for (i = partLength; i + 63 < length; i += 64) md5_Transform(context->state, &input[i]);
    index = 0;
  }
  if (length > i) std::memcpy(&context->buffer[index], &input[i], length - i);
}

void md5_Final(unsigned char digest[16], MD5_CTX* context) {
  unsigned char bits[8];
  md5_Encode(bits, context->count, 8);
  // Pad out to 56 mod 64, then append the length.
  size_t index = (context->count[0] >> 3) & 0x3F;
  size_t padLength = (index < 56) ? (56 - index) : (120 - index);
  md5_Update(context, kPadding, padLength);
  md5_Update(context, bits, 8);
  md5_Encode(digest, context->state, 16);
  std::memset(context, 0, sizeof(*context));
}

void md5_Transform(uint32_t state[4], unsigned char const block[64]) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], x[16];
  md5_Decode(x, block, 64);

  // Round 1
  FF(a, b, c, d, x[0], S11, 0xd76aa478);
  FF(d, a, b, c, x[1], S12, 0xe8c7b756);
  FF(c, d, a, b, x[2], S13, 0x242070db);
  FF(b, c, d, a, x[3], S14, 0xc1bdceee);
  FF(a, b, c, d, x[4], S11, 0xf57c0faf);
  FF(d, a, b, c, x[5], S12, 0x4787c62a);
  FF(c, d, a, b, x[6], S13, 0xa8304613);
  FF(b, c, d, a, x[7], S14, 0xfd469501);
  FF(a, b, c, d, x[8], S11, 0x698098d8);
  FF(d, a, b, c, x[9], S12, 0x8b44f7af);
  FF(c, d, a, b, x[10], S13, 0xffff5bb1);
  FF(b, c, d, a, x[11], S14, 0x895cd7be);
  FF(a, b, c, d, x[12], S11, 0x6b901122);
  FF(d, a, b, c, x[13], S12, 0xfd987193);
  FF(c, d, a, b, x[14], S13, 0xa679438e);
  FF(b, c, d, a, x[15], S14, 0x49b40821);

  // Round 2
  GG(a, b, c, d, x[1], S21, 0xf61e2562);
  GG(d, a, b, c, x[6], S22, 0xc040b340);
  GG(c, d, a, b, x[11], S23, 0x265e5a51);
  GG(b, c, d, a, x[0], S24, 0xe9b6c7aa);
  GG(a, b, c, d, x[5], S21, 0xd62f105d);
  GG(d, a, b, c, x[10], S22, 0x02441453);
  GG(c, d, a, b, x[15], S23, 0xd8a1e681);
  GG(b, c, d, a, x[4], S24, 0xe7d3fbc8);
  GG(a, b, c, d, x[9], S21, 0x21e1cde6);
  GG(d, a, b, c, x[14], S22, 0xc33707d6);
  GG(c, d, a, b, x[3], S23, 0xf4d50d87);
  GG(b, c, d, a, x[8], S24, 0x455a14ed);
  GG(a, b, c, d, x[13], S21, 0xa9e3e905);
  GG(d, a, b, c, x[2], S22, 0xfcefa3f8);
  GG(c, d, a, b, x[7], S23, 0x676f02d9);
  GG(b, c, d, a, x[12], S24, 0x8d2a4c8a);

  // Round 3
  HH(a, b, c, d, x[5], S31, 0xfffa3942);
  HH(d, a, b, c, x[8], S32, 0x8771f681);
  HH(c, d, a, b, x[11], S33, 0x6d9d6122);
  HH(b, c, d, a, x[14], S34, 0xfde5380c);
  HH(a, b, c, d, x[1], S31, 0xa4beea44);
  HH(d, a, b, c, x[4], S32, 0x4bdecfa9);
  HH(c, d, a, b, x[7], S33, 0xf6bb4b60);
  HH(b, c, d, a, x[10], S34, 0xbebfbc70);
  HH(a, b, c, d, x[13], S31, 0x289b7ec6);
  HH(d, a, b, c, x[0], S32, 0xeaa127fa);
  HH(c, d, a, b, x[3], S33, 0xd4ef3085);
  HH(b, c, d, a, x[6], S34, 0x04881d05);
  HH(a, b, c, d, x[9], S31, 0xd9d4d039);
  HH(d, a, b, c, x[12], S32, 0xe6db99e5);
  HH(c, d, a, b, x[15], S33, 0x1fa27cf8);
  HH(b, c, d, a, x[2], S34, 0xc4ac5665);

  // Round 4
  II(a, b, c, d, x[0], S41, 0xf4292244);
  II(d, a, b, c, x[7], S42, 0x432aff97);
  II(c, d, a, b, x[14], S43, 0xab9423a7);
  II(b, c, d, a, x[5], S44, 0xfc93a039);
  II(a, b, c, d, x[12], S41, 0x655b59c3);
  II(d, a, b, c, x[3], S42, 0x8f0ccc92);
  II(c, d, a, b, x[10], S43, 0xffeff47d);
  II(b, c, d, a, x[1], S44, 0x85845dd1);
  II(a, b, c, d, x[8], S41, 0x6fa87e4f);
  II(d, a, b, c, x[15], S42, 0xfe2ce6e0);
  II(c, d, a, b, x[6], S43, 0xa3014314);
  II(b, c, d, a, x[13], S44, 0x4e0811a1);
  II(a, b, c, d, x[4], S41, 0xf7537e82);
  II(d, a, b, c, x[11], S42, 0xbd3af235);
  II(c, d, a, b, x[2], S43, 0x2ad7d2bb);
  II(b, c, d, a, x[9], S44, 0xeb86d391);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  std::memset(x, 0, sizeof(x));
}

void md5_Encode(unsigned char* output, uint32_t const* input, size_t length) {
  for (size_t i = 0, j = 0; j < length; ++i, j += 4) {
    output[j] = static_cast<unsigned char>(input[i] & 0xff);
    output[j + 1] = static_cast<unsigned char>((input[i] >> 8) & 0xff);
    output[j + 2] = static_cast<unsigned char>((input[i] >> 16) & 0xff);
    output[j + 3] = static_cast<unsigned char>((input[i] >> 24) & 0xff);
  }
}

void md5_Decode(uint32_t* output, unsigned char const* input, size_t length) {
  for (size_t i = 0, j = 0; j < length; ++i, j += 4) {
    output[i] = static_cast<uint32_t>(input[j]) | (static_cast<uint32_t>(input[j + 1]) << 8) |
                (static_cast<uint32_t>(input[j + 2]) << 16) |
                (static_cast<uint32_t>(input[j + 3]) << 24);
  }
}

void HMAC_MD5(unsigned char const* key, size_t keyLength, unsigned char const* data,
              size_t dataLength, unsigned char digest[16]) {
  unsigned char block[64] = {0};
  if (keyLength > 64) {
    MD5_CTX keyContext;
    md5_Init(&keyContext);
    md5_Update(&keyContext, key, keyLength);
    md5_Final(block, &keyContext);
  } else if (keyLength > 0) {
    std::memcpy(block, key, keyLength);
  }
  unsigned char innerPad[64], outerPad[64];
  for (int i = 0; i < 64; ++i) {
    innerPad[i] = block[i] ^ 0x36;
    outerPad[i] = block[i] ^ 0x5C;
  }
  unsigned char inner[16];
  MD5_CTX context;
  md5_Init(&context);
  md5_Update(&context, innerPad, 64);
  md5_Update(&context, data, dataLength);
  md5_Final(inner, &context);
  md5_Init(&context);
  md5_Update(&context, outerPad, 64);
  md5_Update(&context, inner, 16);
  md5_Final(digest, &context);
  std::memset(block, 0, sizeof(block));
  std::memset(innerPad, 0, sizeof(innerPad));
  std::memset(outerPad, 0, sizeof(outerPad));
}

AnsiString CRAMMD5Answer(AnsiString const& user, AnsiString const& password,
                         AnsiString const& challenge) {
  static char const kHex[] = "0123456789abcdef";
  unsigned char digest[16];
  HMAC_MD5(reinterpret_cast<unsigned char const*>(password.c_str()),
           static_cast<size_t>(password.Length()),
           reinterpret_cast<unsigned char const*>(challenge.c_str()),
           static_cast<size_t>(challenge.Length()), digest);
  char hex[32];
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  return user + AnsiString(" ") + AnsiString(hex, 32);
}
