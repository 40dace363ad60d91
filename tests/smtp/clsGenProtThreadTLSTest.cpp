// Tests of the TLS session: against Python's ssl with a certificate made by openssl at test
// time, against an in-process OpenSSL server that splits its first flight and sends a reply on
// its last handshake record (with a close_notify behind it, too), and against peers that fail the
// handshake in every way we know.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "GenProtTesting.h"
#include "ScriptedPeer.h"

namespace {

std::string Quoted(std::string const& text) { return "\"" + text + "\""; }

TEST(clsGenProtThreadTLSTest, LinesBothWaysOverTLS) {
  TestCertificate const& cert = MakeTestCertificate();
  ASSERT_FALSE(cert.m_strCert.empty());
  ScriptedPeer peer("[{\"starttls\": [" + Quoted(cert.m_strCert) + ", " + Quoted(cert.m_strKey) +
                    "]}, {\"expect\": \"EHLO secure\"}, {\"reply\": \"250 secure too\"}, {\"stall\": 5}]");
  clsTestProt prot;
  ASSERT_TRUE(prot.StartupProtocol());
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 3));
  clsTestData tls;
  ASSERT_TRUE(prot.Request(kTestMsgNegotiateTLS, &tls)) << prot.ErrorString().c_str();
  EXPECT_TRUE(prot.TestThread()->IsTLSActive());
  clsTestData ehlo;
  ehlo.m_astrLine = "EHLO secure";
  ehlo.m_bolExpectReply = true;
  ASSERT_TRUE(prot.Request(kTestMsgSendLine, &ehlo)) << prot.ErrorString().c_str();
  EXPECT_EQ(prot.TestThread()->Lines(), std::vector<std::string>{"250 secure too"});
  // A second negotiation is refused.
  EXPECT_FALSE(prot.Request(kTestMsgNegotiateTLS, &tls));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Test: TLS is already Negotiated."));
  prot.Disconnect();
}

TEST(clsGenProtThreadTLSTest, HandshakeFailures) {
  struct stcCase {
    char const* m_strName;
    std::string m_strScript;
    char const* m_strError;
  };
  stcCase const cases[] = {
      {"fatal alert 40", R"([{"readbytes": 4096}, {"alert": 40}, {"stall": 5}])",
       "Test: TLS Handshake failed: TLS handshake failed. (-9824)"},
      {"protocol version alert", R"([{"readbytes": 4096}, {"alert": 70}, {"stall": 5}])",
       "Test: TLS Handshake failed: A bad TLS protocol version was encountered. (-9836)"},
      {"plain server", R"([{"readbytes": 4096}, {"reply": "220 plain text here"}, {"stall": 5}])",
       "Test: TLS Handshake failed: TLS Protocol error. (-9800)"},
      {"stall", R"([{"stall": 10}])", "Test: TLS Handshake failed: Timed out waiting for the TLS handshake."},
      {"close", R"([{"readbytes": 4096}, {"close": true}])",
       "Test: TLS Handshake failed: TLS connection closed due to an error. (-9806)"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    ScriptedPeer peer(c.m_strScript);
    clsTestProt prot;
    ASSERT_TRUE(prot.StartupProtocol());
    ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 1));
    clsTestData tls;
    EXPECT_FALSE(prot.Request(kTestMsgNegotiateTLS, &tls));
    EXPECT_EQ(std::string(prot.ErrorString().c_str()), c.m_strError);
    EXPECT_FALSE(prot.TestThread()->IsTLSActive());
  }
}

TEST(clsGenProtThreadTLSTest, ErrorTexts) {
  struct stcCase {
    long m_lngCode;
    char const* m_strText;
  };
  stcCase const cases[] = {
      {-9803, "TLS Function is blocked; waiting for I/O. (non-fatal) (-9803)"},
      {-9812, "TLS certificate chaing is valid, but root is not trusted. (-9812)"},
      {-9832, "TLS Access was deinied. (-9832)"},
      {-9846, "A bad TLS record MAC was encountered. (-9846)"},
      {-9842, "Unknown TLS Error. (-9842)"},
      {-38, "Unknown TLS Error. (-38)"},
      {0, "Unknown TLS Error. (0)"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(std::string(clsGenProtThread::TLSError(c.m_lngCode).c_str()), c.m_strText);
  }
  errno = ETIMEDOUT;
  EXPECT_EQ(std::string(clsGenProtThread::TLSError(-2).c_str()),
            "Timed out trying to send the TLS data. BSD Error: Connection timed out (110) (-2)");
}

// An in-process TLS 1.2 server: its first flight goes out in two packets 50 ms apart, and its
// last handshake flight carries the greeting in the same packet.
class clsSplitFlightServer {
 public:
  // closeNotify: the greeting is followed by close_notify in the same packet.
  explicit clsSplitFlightServer(bool closeNotify = false) : m_bolCloseNotify(closeNotify) {
    m_intListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_intListen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_intListen, 1);
    socklen_t length = sizeof address;
    getsockname(m_intListen, reinterpret_cast<sockaddr*>(&address), &length);
    m_intPort = ntohs(address.sin_port);
    m_udtThread = std::thread([this] { Serve(); });
  }
  ~clsSplitFlightServer() {
    m_udtThread.join();
    close(m_intListen);
  }
  int m_intPort = 0;

 private:
  // Moves everything OpenSSL wrote into the socket, in one packet or split in two.
  void Flush(int fd, BIO* out, bool split) {
    char* data = nullptr;
    long count = BIO_get_mem_data(out, &data);
    if (count <= 0) return;
    if (split) {
      send(fd, data, size_t(count / 2), 0);
      usleep(50 * 1000);
      send(fd, data + count / 2, size_t(count - count / 2), 0);
    } else {
      send(fd, data, size_t(count), 0);
    }
    BIO_reset(out);
  }
  void Serve() {
    TestCertificate const& cert = MakeTestCertificate();
    timeval limit{5, 0};
    setsockopt(m_intListen, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    int fd = accept(m_intListen, nullptr, nullptr);
    if (fd < 0) return;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
    SSL_CTX_use_certificate_file(ctx, cert.m_strCert.c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_use_PrivateKey_file(ctx, cert.m_strKey.c_str(), SSL_FILETYPE_PEM);
    SSL* ssl = SSL_new(ctx);
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl, in, out);
    SSL_set_accept_state(ssl);
    int flights = 0;
    char buffer[16384];
    while (SSL_do_handshake(ssl) != 1) {
      if (BIO_pending(out) > 0) {
        ++flights;
        Flush(fd, out, flights == 1);
      }
      ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      BIO_write(in, buffer, int(got));
    }
    SSL_write(ssl, "220 after the handshake\r\n", 25);
    if (m_bolCloseNotify) SSL_shutdown(ssl);
    Flush(fd, out, false);  // the last handshake records and the greeting together
    // Then wait for the client to close.
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ERR_clear_error();
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    close(fd);
    OPENSSL_thread_stop();
  }
  bool m_bolCloseNotify;
  int m_intListen = -1;
  std::thread m_udtThread;
};

TEST(clsGenProtThreadTLSTest, SplitFirstFlightAndReplyOnLastRecord) {
  ASSERT_FALSE(MakeTestCertificate().m_strCert.empty());
  // With close_notify right behind the greeting, in the same packet as the data it follows, the
  // connection counts as closed by the peer although the server keeps it open.
  for (bool closeNotify : {false, true}) {
    SCOPED_TRACE(closeNotify ? "greeting and close_notify" : "greeting");
    clsSplitFlightServer server(closeNotify);
    clsTestProt prot;
    ASSERT_TRUE(prot.StartupProtocol());
    ASSERT_TRUE(prot.Connect("127.0.0.1", server.m_intPort, 3));
    clsTestData tls;
    ASSERT_TRUE(prot.Request(kTestMsgNegotiateTLS, &tls)) << prot.ErrorString().c_str();
    // The greeting that came with the last handshake records was cut into a line at once.
    EXPECT_EQ(prot.TestThread()->Lines(), std::vector<std::string>{"220 after the handshake"});
    EXPECT_EQ(prot.GetConnectionState(), closeNotify ? 0 : 1);
    prot.Disconnect();
    prot.ShutdownProtocol();
  }
}

}  // namespace
