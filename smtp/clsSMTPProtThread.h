// clsSMTPProtThread: the SMTP client (RFC 5321) on the protocol worker thread. It turns the SMTP
// controller's messages into commands of the thread's queue and runs them as small state
// machines, one step per loop turn: the connect dialogue (banner, EHLO or HELO, STARTTLS of
// RFC 3207, AUTH of RFC 4954 with PLAIN (RFC 4616), LOGIN and CRAM-MD5 (RFC 2195)), the mail
// transaction (RSET, MAIL FROM, RCPT TO, DATA with the message pulled line by line from its
// writer), QUIT, the keep-alive NOOP and the address verification (VRFY, or MAIL FROM and RCPT
// TO at the domain's mail exchanger).
// Every command follows one pattern: state 1 starts it, states code * 10 + step carry it on,
// state 2 (or 0) is its clean-up; after an error every remaining command runs its clean-up, so
// a request ends with its first error text, which the controller reports.
// Received lines become clsSMTPProtResponse records (a reply is complete with its last line and
// raises "Data Received"); replies are capped in lines and in number held, and addresses that
// would carry a line break or a zero byte into a command are refused unsent.
// Relies on smtp/clsGenProtThread.h (queue, socket, TLS, local identity), mime/clsSMTPEmail.h
// (the message writer), smtp/clsDNSQuery.h, smtp/MD5.h. Runs on the worker's task only.
#pragma once

#include <deque>
#include <initializer_list>

#include "core/AnsiString.h"
#include "core/TStringList.h"
#include "smtp/clsGenProtThread.h"
#include "smtp/clsSMTPProt.h"
#include "smtp/clsSMTPProtResponse.h"

class clsSMTPEmail;

// SMTP command codes of the queue and the states that carry them on.
enum : int {
  kSMTPCmdConnect = 2001,
  kSMTPCmdDisconnect = 2002,
  kSMTPCmdAuthenticate = 2003,
  kSMTPCmdSendOneEmail = 2004,
  kSMTPCmdVerifyEmail = 2005,
  kSMTPCmdQuit = 2006,
  kSMTPCmdNoOp = 2007,
  kSMTPCmdRset = 2008,
  kSMTPCmdMailFrom = 2009,
  kSMTPCmdRcptTo = 2010,
  kSMTPCmdData = 2011,

  kConnectDoPreTLS = 20101,
  kConnectGetServerBanner = 20102,
  kConnectDoEHlo = 20103,
  kConnectParseEHloResp = 20104,
  kConnectStartTLS = 20105,
  kConnectParseStartTLSResp = 20106,
  kConnectDoHelo = 20107,
  kConnectParseHeloResp = 20108,
  kConnectDoAuth = 20109,
  kDisconnectDisconnect = 20201,
  kAuthDoPlain = 20301,
  kAuthParsePlainResp = 20302,
  kAuthDoLogin = 20303,
  kAuthParseLoginResp = 20304,
  kAuthParseLoginUserResp = 20305,
  kAuthParseLoginPassResp = 20306,
  kAuthDoCRAMMD5 = 20307,
  kAuthParseCRAMMD5Resp = 20308,
  kAuthParseCRAMMD5Resp2 = 20309,
  kSendDoFrom = 20401,
  kSendDoRecipients = 20402,
  kSendDoData = 20403,
  kVerifyDoVerify = 20501,
  kVerifyVerify = 20502,
  kVerifyParseVerifyResp = 20503,
  kVerifyDoFakeEmail = 20504,
  kVerifyFakeEmailSendFrom = 20505,
  kVerifyFakeEmailSendTo = 20506,
  kRsetParseRsetResp = 20801,
  kMailFromParseMailFromResp = 20901,
  kRcptToSendNextRcptTo = 21001,
  kRcptToParseRcptToResp = 21002,
  kDataParseDataResp = 21101,
  kDataSendEmailData = 21102,
  kDataParseEmailDataResp = 21103
};

class clsSMTPProtThread : public clsGenProtThread {
 public:
  explicit clsSMTPProtThread(clsGenProt* controller);
  ~clsSMTPProtThread() override;

  void IdleTimeout() override;
  void ReceivedNewLine(AnsiString line, bool* addToTranscript) override;
  void ProcessRequestDone(clsGenProtData* data) override;
  bool ProcessThreadMessage(int code, clsGenProtData* data) override;
  bool ProcessCommandQueue() override;
  // A keep-alive NOOP as the first command (waits in front of it aside) does not count as busy.
  bool IsThreadBusy() override;

  // The bare address of an address text: what stands between the first "<" and the first ">"
  // after it (or the end), else the whole trimmed text.
  static AnsiString GetCleanEmailAddress(AnsiString address);

  // The command handlers.
  void SMTPConnect();
  void SMTPDisconnect();
  void DoAuthentication();
  void DoSendOneEmail();
  void DoVerifyEmailAddress();
  void SendQuitCmd();
  void SendNoOpCmd();
  void SendRsetCmd();
  void SendMailFromCmd();
  void SendRcptToCmd();
  void SendDataCmd();

  // The port a verification connects to at the mail exchanger (25; tests choose another).
  void SetVerifyPort(int port) { m_intVerifyPort = port; }

  // The least wait for the reply to the final "." (RFC 5321 4.5.3.2.6: 10 minutes); the
  // connection's time-out when that is longer.
  static constexpr int kDataEndWaitSeconds = 600;

  // Most lines one reply may have, and most complete replies held unread.
  static constexpr int kMaxReplyLines = 1000;
  static constexpr size_t kMaxHeldReplies = 100;
  // The send buffer of the message data: 64 KiB, so that a message goes out in few large sends
  // (the bytes on the wire are the same whatever the size).
  static constexpr unsigned int kDataBufferSize = 65536;

 protected:
  // The opening of a command step (the pattern's steps 1 to 3): the error text kept in *saved
  // and cleared, the front command taken; false when the queue was empty.
  bool BeginCommand(clsFuncDebug& scope, stcCommand* command, AnsiString* saved);
  // The pattern's Start: status (none when empty), request not done, response queue emptied.
  void StartCommand(UniString status);
  // Queues at the front the step that parses the reply and, before it, the wait for the reply;
  // then sends the command line (censored: the transcript shows "< [CENSORED]").
  void SendCommand(int code, int parseState, AnsiString text, bool censor = false);
  // Drops the whole replies held and the events they left: without pipelining a reply that came
  // before a command went out was sent unasked and answers nothing the client sent.
  void DropUnaskedReplies();
  // Takes the first reply; false with "Response Queue is Empty!" when there is none.
  bool TakeResponse(clsSMTPProtResponse* response);
  // "SMTP Server Error: " and the reply's text.
  static AnsiString ServerError(clsSMTPProtResponse const& response);
  // The pattern's clean-up: a kept error restored; with nothing but a NOOP left, "Idle." and
  // the request done.
  void EndCommand(AnsiString const& saved, char const* idleText = "Idle.");
  void QueueFront(int code, int state) { m_deqCommands.push_front(stcCommand(code, state)); }
  void QueueBack(int code, int state) { m_deqCommands.push_back(stcCommand(code, state)); }
  // The connect dialogue's next steps, in order, ahead of what was queued behind the connect
  // (a verification's next step waits for the whole dialogue).
  void QueueNext(std::initializer_list<stcCommand> commands);
  // True when no command is queued or the first one (waits aside) is the keep-alive NOOP.
  bool NothingButNoOpQueued() const;
  // Fails a session that broke off in the middle of a command (a send failure during DATA, an
  // overlong reply): send buffering off, what it holds dropped, the connection closed when the
  // request ends.
  void AbandonConnection();
  // The MX host of the address's domain (the best preference below 500), or the domain itself
  // when the look-up fails; false with the error text when there is none.
  bool LookupMXHost(AnsiString* mxHost);
  // Queues at the front the wait for the reply to the final ".": kDataEndWaitSeconds or the
  // connection's time-out, the longer.
  void QueueDataEndWait();
  // The SendEmailData step of DATA: the message line by line through the send buffer, then ".".
  void SendEmailData();
  // The name the session greets with: the local host name, else the local address in brackets.
  AnsiString EHloName();
  // True when a failed connect dialogue can still end its session with QUIT: connected, the
  // last reply whole and in time, and no TLS begun that is not up.
  bool SessionTakesQuit() const;
  // True when the text holds a CR, a LF or a zero byte (it would end or cut a command line).
  static bool HasLineBreakOrZero(AnsiString const& text);

  enumSMTPAuthType m_intAuthType;
  enumSMTPAuthType m_intSavedAuthType;
  AnsiString m_astrUsername;
  AnsiString m_astrPassword;
  AnsiString m_astrEHloError;
  AnsiString m_astrFrom;
  AnsiString m_astrVerifyAddress;
  AnsiString m_astrDNSServer;
  AnsiString m_astrRcptError;
  AnsiString m_astrSavedHost;
  enumSMTPTLSType m_intTLSType;
  enumSMTPTLSType m_intSavedTLSType;
  bool m_bolLoggedIn;
  bool m_bolBreakOnBadRcpt;
  bool m_bolAnyRcptAccepted;
  bool m_bolSettingsSaved;
  std::deque<clsSMTPProtResponse> m_deqResponses;
  clsSMTPEmail* m_pudtEmail;
  int m_intVerifyTimeout;
  int m_intRcptIndex;
  int m_intSavedPort;
  int m_intSavedTimeout;
  TStringList* m_pulstRecipients;
  int m_intVerifyPort;
  int m_intDataEndWait;  // kDataEndWaitSeconds; tests shorten it
  bool m_bolDropClearText;  // STARTTLS was accepted: what is received in clear until the handshake is dropped
  bool m_bolTLSStarted;      // this connection began TLS (before the banner, or STARTTLS accepted)
  AnsiString m_astrHeldError;  // a failed connect's error, kept while its QUIT goes out
};
