// clsSMTPProtThread::DoAuthentication: SMTP AUTH (RFC 4954) with PLAIN (RFC 4616), LOGIN and
// CRAM-MD5 (RFC 2195, HMAC-MD5 of RFC 2104 over our own MD5 of RFC 1321), or all three in turn:
// CRAM-MD5, then LOGIN, then PLAIN. Lines that carry a secret are sent censored, so the
// transcript shows "< [CENSORED]".
#include "core/DebugLog.h"
#include "core/TextEncoders.h"
#include "smtp/MD5.h"
#include "smtp/clsSMTPProtThread.h"

namespace {

AnsiString const kAllFailed(
    "Could not Authenticate with any of the known Authentication Types; Last SMTP Server Error: ");

}  // namespace

void clsSMTPProtThread::DoAuthentication() {
  clsFuncDebug scope(UniString("DoAuthentication"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  bool automatic = m_intAuthType == kSMTPAuthAutomatic;
  clsSMTPProtResponse reply;
  // A refusal: with automatic the next mechanism is tried, else the request ends with it.
  auto refused = [&](int nextState) {
    if (automatic) {
      QueueFront(kSMTPCmdAuthenticate, nextState);
    } else {
      m_astrError = ServerError(reply);
      QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
    }
  };
  switch (command.m_intState) {
    case kCmdStateStart:
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Authenticating..."));
      switch (m_intAuthType) {
        case kSMTPAuthPlain: QueueFront(kSMTPCmdAuthenticate, kAuthDoPlain); break;
        case kSMTPAuthLogin: QueueFront(kSMTPCmdAuthenticate, kAuthDoLogin); break;
        case kSMTPAuthCRAMMD5:
        case kSMTPAuthAutomatic: QueueFront(kSMTPCmdAuthenticate, kAuthDoCRAMMD5); break;
        default: QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup); break;
      }
      break;
    case kAuthDoPlain: {
      scope.Output(kDebugInfo, UniString("State: DoPlain"));
      UpdateStatus(UniString("Authenticating (Plain)..."), 101);
      // Authorization and authentication identity are both the user name: servers check the
      // second, and most refuse a first that names someone else.
      AnsiString zero('\0');
      AnsiString message = m_astrUsername + zero + m_astrUsername + zero + m_astrPassword;
      SendCommand(kSMTPCmdAuthenticate, kAuthParsePlainResp,
                  AnsiString("AUTH PLAIN ") + UUEncodeString(message), true);
      break;
    }
    case kAuthParsePlainResp:
      scope.Output(kDebugInfo, UniString("State: ParsePlainResp"));
      if (TakeResponse(&reply) && reply.m_intCode != 235 && reply.m_intCode != 503) {
        m_astrError = (automatic ? kAllFailed : AnsiString("SMTP Server Error: ")) + reply.Text();
      }
      QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
      break;
    case kAuthDoLogin:
      scope.Output(kDebugInfo, UniString("State: DoLogin"));
      UpdateStatus(UniString("Authenticating (Login)..."), 101);
      SendCommand(kSMTPCmdAuthenticate, kAuthParseLoginResp, AnsiString("AUTH LOGIN"));
      break;
    case kAuthParseLoginResp:
      scope.Output(kDebugInfo, UniString("State: ParseLoginResp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
      } else if (reply.m_intCode == 334) {
        SendCommand(kSMTPCmdAuthenticate, kAuthParseLoginUserResp, UUEncodeString(m_astrUsername), true);
      } else {
        refused(kAuthDoPlain);
      }
      break;
    case kAuthParseLoginUserResp:
      scope.Output(kDebugInfo, UniString("State: ParseLoginUserResp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
      } else if (reply.m_intCode == 334) {
        SendCommand(kSMTPCmdAuthenticate, kAuthParseLoginPassResp, UUEncodeString(m_astrPassword), true);
      } else {
        refused(kAuthDoPlain);
      }
      break;
    case kAuthParseLoginPassResp:
      scope.Output(kDebugInfo, UniString("State: ParseLoginPassResp"));
      if (!TakeResponse(&reply) || reply.m_intCode == 235) {
        QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
      } else {
        refused(kAuthDoPlain);
      }
      break;
    case kAuthDoCRAMMD5:
      scope.Output(kDebugInfo, UniString("State: DoCRAM_MD5"));
      UpdateStatus(UniString("Authenticating (CRAM-MD5)..."), 101);
      SendCommand(kSMTPCmdAuthenticate, kAuthParseCRAMMD5Resp, AnsiString("AUTH CRAM-MD5"));
      break;
    case kAuthParseCRAMMD5Resp:
      scope.Output(kDebugInfo, UniString("State: ParseCRAM_MD5Resp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
      } else if (reply.m_intCode == 334) {
        AnsiString challenge = reply.m_pulstLines == nullptr ? AnsiString() : reply.m_pulstLines->Text("\r");
        if (challenge.Length() == 0) {
          m_astrError = "SMTP Server Error: Server did not send an MD5 Challenge.";
          QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
        } else {
          AnsiString answer = CRAMMD5Answer(m_astrUsername, m_astrPassword, Base64DecodeString(challenge));
          SendCommand(kSMTPCmdAuthenticate, kAuthParseCRAMMD5Resp2, UUEncodeString(answer), true);
        }
      } else {
        refused(kAuthDoLogin);
      }
      break;
    case kAuthParseCRAMMD5Resp2:
      scope.Output(kDebugInfo, UniString("State: ParseCRAM_MD5Resp2"));
      if (!TakeResponse(&reply) || reply.m_intCode == 235) {
        QueueFront(kSMTPCmdAuthenticate, kCmdStateCleanup);
      } else {
        refused(kAuthDoLogin);
      }
      break;
    case kCmdStateCleanup:
    case 0:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      EndCommand(saved);
      break;
    default:
      break;
  }
}
