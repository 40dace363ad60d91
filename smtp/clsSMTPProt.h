// clsSMTPProt: the SMTP flavour of the protocol controller (clsGenProt). One instance lives in
// the global plug-in state for the plug-in's lifetime; constructing it does no I/O and starts no
// thread, destroying it shuts down a running worker thread.
// Interface: SetAuthentication stores the credentials and the TLS type for the next Connect;
// Connect opens and greets a session (TLS and AUTH as set), SendOneEmail sends one message over
// it, Disconnect ends it. Each packs its arguments into a clsSMTPProtData, hands it to the worker
// thread (clsSMTPProtThread) under the controller's lock and waits for the answer; the outcome is
// the boolean result and ErrorString() ("Connect: " or "SendOneEmail: " and the thread's text).
// Disconnect never fails its caller: its problems go to the warning text.
// Relies on smtp/clsGenProt.h, mime/clsSMTPEmail.h (the message, only passed through). Runs on
// the host's thread; never throws.
#pragma once

#include <cstdint>

#include "core/AnsiString.h"
#include "smtp/clsGenProt.h"

class clsSMTPEmail;

// 0 none, 1 PLAIN, 2 LOGIN, 3 CRAM-MD5, 4 automatic (CRAM-MD5, then LOGIN, then PLAIN).
enum enumSMTPAuthType : int32_t {
  kSMTPAuthNone = 0,
  kSMTPAuthPlain = 1,
  kSMTPAuthLogin = 2,
  kSMTPAuthCRAMMD5 = 3,
  kSMTPAuthAutomatic = 4
};

// 0 none, 1 STARTTLS after EHLO, 2 TLS from the start of the connection.
enum enumSMTPTLSType : int32_t { kSMTPTLSNone = 0, kSMTPTLSStartTLS = 1, kSMTPTLSImmediate = 2 };

// SMTP messages from the controller to the thread.
enum : int {
  kSMTPMsgConnect = 2001,
  kSMTPMsgDisconnect = 2002,
  kSMTPMsgSendOneEmail = 2003,
  kSMTPMsgVerifyEmail = 2004  // handled by the thread; no operation of the controller sends it
};

// The request record of an SMTP request.
class clsSMTPProtData : public clsGenProtData {
 public:
  clsSMTPProtData() = default;
  ~clsSMTPProtData() override = default;

  enumSMTPAuthType m_intAuthType = kSMTPAuthNone;
  AnsiString m_astrUsername;
  AnsiString m_astrPassword;
  AnsiString m_astrFrom;
  // The address to verify; after a verification request, its result.
  AnsiString m_astrVerifyAddress;
  // A name server's dotted IPv4 address to ask instead of the system's; empty for the system's.
  AnsiString m_astrDNSServer;
  enumSMTPTLSType m_intTLSType = kSMTPTLSNone;
  bool m_bolBreakOnBadRcpt = true;
  clsSMTPEmail* m_pudtEmail = nullptr;  // not owned
  int m_intVerifyTimeout = 30;          // seconds
};

class clsSMTPProt : public clsGenProt {
 public:
  clsSMTPProt();
  ~clsSMTPProt() override;

  // Stored for the next Connect; no check. The last argument has no effect.
  void SetAuthentication(enumSMTPAuthType authType, AnsiString user, AnsiString password,
                         AnsiString from, enumSMTPTLSType tlsType, bool useIPinHelo);
  // True when the session is up (and logged in when an authentication type is set). A port of 0
  // or below is 25; the time-out is in seconds.
  bool Connect(AnsiString host, int port, int timeout) override;
  // True when the server accepted the message. The message must stay valid until the call
  // returns; nothing else may touch it meanwhile.
  bool SendOneEmail(clsSMTPEmail* email, bool breakOnBadRcpt);
  void Disconnect() override;

 protected:
  void CreateThread() override;
  clsGenProtData* CreateData() override;

  enumSMTPAuthType m_intAuthType;
  AnsiString m_astrUsername;
  AnsiString m_astrPassword;
  AnsiString m_astrFrom;
  enumSMTPTLSType m_intTLSType;
};
