// Tests of MD5, HMAC-MD5 and the CRAM-MD5 answer: the standards' own vectors, and random inputs
// fed in random pieces against OpenSSL's digest.
#include "smtp/MD5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <random>
#include <string>
#include <vector>

#include "core/TextEncoders.h"

namespace {

std::string Hex(unsigned char const* bytes, size_t count) {
  static char const kHex[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

std::string Md5Hex(std::string const& data) {
  MD5_CTX context;
  md5_Init(&context);
  md5_Update(&context, reinterpret_cast<unsigned char const*>(data.data()), data.size());
  unsigned char digest[16];
  md5_Final(digest, &context);
  return Hex(digest, 16);
}

TEST(MD5Test, StandardSuite) {
  struct {
    char const* input;
    char const* digest;
  } const rows[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (auto const& row : rows) EXPECT_EQ(Md5Hex(row.input), row.digest) << '"' << row.input << '"';
}

TEST(MD5Test, RandomInputsInPiecesMatchOpenSSL) {
  std::mt19937 random(1321);
  for (int length = 0; length <= 300; ++length) {
    std::vector<unsigned char> data(length);
    for (auto& byte : data) byte = static_cast<unsigned char>(random());
    MD5_CTX context;
    md5_Init(&context);
    for (size_t done = 0; done < data.size();) {
      size_t piece = std::min<size_t>(data.size() - done, random() % 70);
      md5_Update(&context, data.data() + done, piece);
      done += piece;
    }
    unsigned char ours[16];
    md5_Final(ours, &context);
    unsigned char theirs[16];
    unsigned int theirLength = 0;
    EVP_Digest(data.data(), data.size(), theirs, &theirLength, EVP_md5(), nullptr);
    ASSERT_EQ(Hex(ours, 16), Hex(theirs, 16)) << "length " << length;
    // The context is cleared after the digest is written.
    EXPECT_EQ(context.state[0] | context.state[1] | context.count[0], 0u);
  }
}

TEST(MD5Test, HMACVectors) {
  std::string const longKey(80, '\xaa');
  struct {
    std::string key;
    std::string data;
    char const* digest;
  } const rows[] = {
      {std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {std::string(16, '\xaa'), std::string(50, '\xdd'), "56be34521d144c88dbb8c733f0e8b3f6"},
      // Keys over one block are hashed first.
      {longKey, "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      {longKey, "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "6f630fad67cda0ee1fb1f562db3aa53e"},
  };
  for (auto const& row : rows) {
    unsigned char digest[16];
    HMAC_MD5(reinterpret_cast<unsigned char const*>(row.key.data()), row.key.size(),
             reinterpret_cast<unsigned char const*>(row.data.data()), row.data.size(), digest);
    EXPECT_EQ(Hex(digest, 16), row.digest) << row.data;
  }
}

TEST(MD5Test, HMACKeysAboutOneBlockMatchOpenSSL) {
  std::mt19937 random(2104);
  std::string const data = "<1896.697170952@postoffice.reston.mci.net>";
  for (size_t length : {63, 64, 65}) {
    std::vector<unsigned char> key(length);
    for (auto& byte : key) byte = static_cast<unsigned char>(random());
    unsigned char ours[16];
    HMAC_MD5(key.data(), key.size(), reinterpret_cast<unsigned char const*>(data.data()), data.size(), ours);
    unsigned char theirs[16];
    unsigned int theirLength = 0;
    HMAC(EVP_md5(), key.data(), int(key.size()), reinterpret_cast<unsigned char const*>(data.data()),
         data.size(), theirs, &theirLength);
    EXPECT_EQ(Hex(ours, 16), Hex(theirs, 16)) << "key length " << length;
  }
}

TEST(MD5Test, CRAMMD5AnswerOfTheStandardsExample) {
  AnsiString answer = CRAMMD5Answer("tim", "tanstaaftanstaaf",
                                    "<1896.697170952@postoffice.reston.mci.net>");
  EXPECT_EQ(answer, AnsiString("tim b913a602c7eda7a495b4e6e7334d3890"));
  EXPECT_EQ(UUEncodeString(answer), AnsiString("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"));
}

}  // namespace
