// clsSMTPProtThread::DoVerifyEmailAddress: asks a mail server whether it takes an address. Over
// the logged-in session, or else at the mail exchanger of the address's domain (looked up with
// clsDNSQuery), on port 25 without TLS or authentication: VRFY, and when that gives no clear
// answer MAIL FROM and RCPT TO (RFC 5321). The session's settings are saved around such a
// connection and restored afterwards.
#include "core/DebugLog.h"
#include "smtp/clsDNSQuery.h"
#include "smtp/clsSMTPProtThread.h"

#include <new>

bool clsSMTPProtThread::LookupMXHost(AnsiString* mxHost) {
  DebugOutput(kDebugInfo, UniString("Doing an MX Lookup."));
  *mxHost = AnsiString();
  int at = m_astrVerifyAddress.Pos('@');
  if (at == 0) {
    m_astrError = "Email Address did not have an @ symbol.";
    return false;
  }
  AnsiString domain = m_astrVerifyAddress.SubString(at + 1, m_astrVerifyAddress.Length() - at).Trim();
  if (domain.Length() == 0) {
    m_astrError = "Email Address did not have a domain part.";
    return false;
  }
  clsDNSQuery query;
  if (query.Query(domain, kDNSQueryMX, m_intVerifyTimeout, m_astrDNSServer)) {
    int best = 500;  // preferences of 500 and above are never chosen
    for (int i = 0; i < query.ResultCount(); ++i) {
      AnsiString line = query.GetResult(i).Trim();
      int semicolon = line.Pos(';');
      if (line.Length() == 0 || semicolon == 0) continue;
      int preference = line.SubString(semicolon + 1, line.Length() - semicolon).Trim().ToInt();
      if (preference < best) {
        best = preference;
        *mxHost = line.SubString(1, semicolon - 1).Trim();
      }
    }
  } else {
    DebugOutput(kDebugError, UniString(AnsiString("MX Lookup Failed: ") + query.ErrorString() +
                                       AnsiString(" -- Will try connecting directly to the given domain: ") +
                                       domain));
    *mxHost = domain;
  }
  if (mxHost->Length() == 0) {
    m_astrError = "Could not lookup MX Record for email address domain.";
    return false;
  }
  return true;
}

void clsSMTPProtThread::DoVerifyEmailAddress() {
  clsFuncDebug scope(UniString("DoVerifyEmailAddress"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  switch (command.m_intState) {
    case kCmdStateStart: {
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Verifying Email..."));
      m_bolSettingsSaved = false;
      m_astrVerifyAddress = GetCleanEmailAddress(m_astrVerifyAddress).Trim();
      if (m_astrVerifyAddress.Length() == 0) {
        m_astrError = "No Email Address to Verify.";
        QueueFront(kSMTPCmdVerifyEmail, kCmdStateCleanup);
        break;
      }
      if (HasLineBreakOrZero(m_astrVerifyAddress)) {
        m_astrError = "Email Address to Verify holds a line break or a zero byte.";
        QueueFront(kSMTPCmdVerifyEmail, kCmdStateCleanup);
        break;
      }
      if (m_bolLoggedIn && m_bolConnected) {
        QueueFront(kSMTPCmdVerifyEmail, kVerifyDoVerify);
        break;
      }
      AnsiString mxHost;
      if (!LookupMXHost(&mxHost)) {
        QueueFront(kSMTPCmdVerifyEmail, kCmdStateCleanup);
        break;
      }
      m_astrSavedHost = m_astrHost;
      m_intSavedPort = m_intPort;
      m_intSavedTimeout = m_intTimeout;
      m_intSavedAuthType = m_intAuthType;
      m_intSavedTLSType = m_intTLSType;
      m_bolSettingsSaved = true;
      m_astrHost = mxHost;
      m_intPort = m_intVerifyPort;
      m_intAuthType = kSMTPAuthNone;
      m_intTLSType = kSMTPTLSNone;
      m_intTimeout = m_intVerifyTimeout;
      QueueBack(kSMTPCmdConnect, kCmdStateStart);
      QueueBack(kSMTPCmdVerifyEmail, kVerifyDoVerify);
      break;
    }
    case kVerifyDoVerify:
      scope.Output(kDebugInfo, UniString("State: DoVerify"));
      QueueBack(kSMTPCmdRset, kCmdStateStart);
      QueueBack(kSMTPCmdVerifyEmail, kVerifyVerify);
      break;
    case kVerifyVerify:
      scope.Output(kDebugInfo, UniString("State: DoVerify_Verify"));
      SendCommand(kSMTPCmdVerifyEmail, kVerifyParseVerifyResp, AnsiString("VRFY ") + m_astrVerifyAddress);
      break;
    case kVerifyParseVerifyResp: {
      scope.Output(kDebugInfo, UniString("State: DoVerify_ParseVerifyResp"));
      clsSMTPProtResponse reply;
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdVerifyEmail, kCmdStateCleanup);
      } else if (reply.m_intCode == 250 || reply.m_intCode == 251) {
        m_astrVerifyAddress = reply.m_pulstLines == nullptr ? AnsiString() : reply.m_pulstLines->Text("\r");
        QueueFront(kSMTPCmdVerifyEmail, kCmdStateCleanup);
      } else {
        if (reply.m_intCode == 252) {
          scope.Output(kDebugInfo, UniString("Verify returned a 'maybe', so we'll try another method."));
        } else {
          scope.Output(kDebugError, UniString("Verify returned an error."));
        }
        QueueFront(kSMTPCmdVerifyEmail, kVerifyDoFakeEmail);
      }
      break;
    }
    case kVerifyDoFakeEmail:
      scope.Output(kDebugInfo, UniString("State: DoFakeEmail"));
      QueueBack(kSMTPCmdRset, kCmdStateStart);
      QueueBack(kSMTPCmdVerifyEmail, kVerifyFakeEmailSendFrom);
      break;
    case kVerifyFakeEmailSendFrom:
      scope.Output(kDebugInfo, UniString("State: DoFakeEmail_SendFrom"));
      QueueBack(kSMTPCmdMailFrom, kCmdStateStart);
      QueueBack(kSMTPCmdVerifyEmail, kVerifyFakeEmailSendTo);
      break;
    case kVerifyFakeEmailSendTo:
      scope.Output(kDebugInfo, UniString("State: DoFakeEmail_SendTo"));
      if (m_pulstRecipients == nullptr) m_pulstRecipients = new (std::nothrow) TStringList;
      if (m_pulstRecipients == nullptr) {
        m_astrError = "Could not allcoate memory for Recipient.";
        QueueFront(kSMTPCmdVerifyEmail, kCmdStateCleanup);
        break;
      }
      m_pulstRecipients->Clear();
      m_pulstRecipients->Add(m_astrVerifyAddress);
      m_bolBreakOnBadRcpt = true;
      QueueBack(kSMTPCmdRcptTo, kCmdStateStart);
      QueueBack(kSMTPCmdVerifyEmail, kCmdStateCleanup);
      break;
    case kCmdStateCleanup:
    case 0:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      if (m_bolSettingsSaved) {
        m_astrHost = m_astrSavedHost;
        m_intPort = m_intSavedPort;
        m_intTimeout = m_intSavedTimeout;
        m_intAuthType = m_intSavedAuthType;
        m_intTLSType = m_intSavedTLSType;
        QueueBack(kSMTPCmdDisconnect, kCmdStateStart);
        m_bolSettingsSaved = false;
      }
      EndCommand(saved);
      break;
    default:
      break;
  }
}
