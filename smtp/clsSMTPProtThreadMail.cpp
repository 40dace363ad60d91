// clsSMTPProtThread: the mail transaction of RFC 5321 over a logged-in session: the message
// writer prepared, then RSET, MAIL FROM, one RCPT TO per recipient and DATA, with the message
// pulled line by line from the writer through a 64 KiB send buffer. A DATA that breaks off
// (a send failure, a failed flush before ".", a writer error, the controller giving up on the
// request) sends no "." and closes the connection, so no half message is taken as sent and
// nothing stays in the buffer. The reply to "." is waited for at least 10 minutes.
#include "core/DebugLog.h"
#include "core/clsMultiVar.h"
#include "mime/clsSMTPEmail.h"
#include "smtp/clsSMTPProtThread.h"

#include <new>
#include <utility>

void clsSMTPProtThread::DoSendOneEmail() {
  clsFuncDebug scope(UniString("DoSendOneEmail"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  switch (command.m_intState) {
    case kCmdStateStart: {
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Sending..."));
      if (m_pudtEmail == nullptr) {
        m_astrError = "Email is NULL.";
        QueueFront(kSMTPCmdSendOneEmail, kCmdStateCleanup);
        break;
      }
      AnsiString localHost = GetLocalHost();
      if (localHost.Length() == 0) localHost = GetLocalIP();
      if (localHost.Length() == 0) localHost = m_astrHost;
      m_pudtEmail->SetLocalHost(localHost);
      m_astrError = m_pudtEmail->GenerateEmail().GetAnsiString(1);
      if (m_astrError.Length() > 0) {
        QueueFront(kSMTPCmdSendOneEmail, kCmdStateCleanup);
      } else {
        QueueBack(kSMTPCmdRset, kCmdStateStart);
        QueueBack(kSMTPCmdSendOneEmail, kSendDoFrom);
      }
      break;
    }
    case kSendDoFrom:
      scope.Output(kDebugInfo, UniString("State: DoFrom"));
      m_astrFrom = m_pudtEmail->GetMailFrom();
      QueueBack(kSMTPCmdMailFrom, kCmdStateStart);
      QueueBack(kSMTPCmdSendOneEmail, kSendDoRecipients);
      break;
    case kSendDoRecipients:
      scope.Output(kDebugInfo, UniString("State: DoRecipients"));
      if (m_pulstRecipients == nullptr) m_pulstRecipients = new (std::nothrow) TStringList;
      if (m_pulstRecipients == nullptr) {
        m_astrError = "Could not allcoate memory for Recipients.";
        QueueFront(kSMTPCmdSendOneEmail, kCmdStateCleanup);
        break;
      }
      m_pudtEmail->GetRecipients(m_pulstRecipients);
      QueueBack(kSMTPCmdRcptTo, kCmdStateStart);
      QueueBack(kSMTPCmdSendOneEmail, kSendDoData);
      break;
    case kSendDoData:
      scope.Output(kDebugInfo, UniString("State: DoData"));
      QueueBack(kSMTPCmdData, kCmdStateStart);
      QueueBack(kSMTPCmdSendOneEmail, kCmdStateCleanup);
      break;
    case kCmdStateCleanup:
    case 0:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      if (saved.Length() > 0) m_astrError = std::move(saved);
      if (NothingButNoOpQueued()) {
        clsMultiVar status;
        status.SetStringVar(UniString("Text"), UniString("Idle"));
        status.SetStringVar(UniString("Detail"), UniString(""));
        status.SetIntegerVar(UniString("Progress"), 0);
        UpdateStatus(&status);
        m_bolRequestDone = true;
      }
      break;
    default:
      break;
  }
}

void clsSMTPProtThread::SendRsetCmd() {
  clsFuncDebug scope(UniString("SendRsetCmd"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  clsSMTPProtResponse reply;
  switch (command.m_intState) {
    case kCmdStateStart:
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString());
      SendCommand(kSMTPCmdRset, kRsetParseRsetResp, AnsiString("RSET"));
      break;
    case kRsetParseRsetResp:
      scope.Output(kDebugInfo, UniString("State: ParseRsetResp"));
      if (TakeResponse(&reply) && reply.m_intCode != 250) m_astrError = ServerError(reply);
      QueueFront(kSMTPCmdRset, kCmdStateCleanup);
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

void clsSMTPProtThread::SendMailFromCmd() {
  clsFuncDebug scope(UniString("SendMailFromCmd"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  clsSMTPProtResponse reply;
  switch (command.m_intState) {
    case kCmdStateStart: {
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Sending MAIL FROM..."));
      AnsiString address = GetCleanEmailAddress(m_astrFrom).Trim();
      if (address.Length() == 0) {
        m_astrError = "From Email Address is Blank.";
        QueueFront(kSMTPCmdMailFrom, kCmdStateCleanup);
      } else if (HasLineBreakOrZero(address)) {
        m_astrError = "From Email Address holds a line break or a zero byte.";
        QueueFront(kSMTPCmdMailFrom, kCmdStateCleanup);
      } else {
        SendCommand(kSMTPCmdMailFrom, kMailFromParseMailFromResp,
                    AnsiString("MAIL FROM:<") + address + AnsiString(">"));
      }
      break;
    }
    case kMailFromParseMailFromResp:
      scope.Output(kDebugInfo, UniString("ParseMailFromResp"));
      if (TakeResponse(&reply) && reply.m_intCode != 250) m_astrError = ServerError(reply);
      QueueFront(kSMTPCmdMailFrom, kCmdStateCleanup);
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

void clsSMTPProtThread::SendRcptToCmd() {
  clsFuncDebug scope(UniString("SendRcptToCmd"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  switch (command.m_intState) {
    case kCmdStateStart:
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Sending RCPT TO..."));
      m_intRcptIndex = 0;
      m_astrRcptError = AnsiString();
      m_bolAnyRcptAccepted = false;
      if (m_pulstRecipients != nullptr && m_pulstRecipients->Count() > 0) {
        QueueFront(kSMTPCmdRcptTo, kRcptToSendNextRcptTo);
      } else {
        m_astrError = "No Recipient Email Addresses.";
        QueueFront(kSMTPCmdRcptTo, kCmdStateCleanup);
      }
      break;
    case kRcptToSendNextRcptTo: {
      scope.Output(kDebugInfo, UniString("State: SendNextRcptTo"));
      AnsiString address =
          GetCleanEmailAddress(m_pulstRecipients->Strings[static_cast<unsigned int>(m_intRcptIndex)]).Trim();
      if (address.Length() == 0) {
        m_astrRcptError = "Recipient Email Address is Blank.";
        QueueFront(kSMTPCmdRcptTo, kRcptToParseRcptToResp);
      } else if (HasLineBreakOrZero(address)) {
        // Refused unsent: the rest of it would reach the server as commands of its own.
        m_astrRcptError = "Recipient Email Address holds a line break or a zero byte.";
        QueueFront(kSMTPCmdRcptTo, kRcptToParseRcptToResp);
      } else {
        SendCommand(kSMTPCmdRcptTo, kRcptToParseRcptToResp, AnsiString("RCPT TO:<") + address + AnsiString(">"));
      }
      break;
    }
    case kRcptToParseRcptToResp: {
      scope.Output(kDebugInfo, UniString("State: ParseRcptToResp"));
      if (m_astrRcptError.Length() == 0) {
        clsSMTPProtResponse reply;
        if (m_deqResponses.empty()) {
          m_astrRcptError = "Response Queue is Empty!";
        } else {
          TakeResponse(&reply);
          if (reply.m_intCode != 250 && reply.m_intCode != 251) m_astrRcptError = ServerError(reply);
        }
      }
      if (m_astrRcptError.Length() == 0) {
        m_bolAnyRcptAccepted = true;
      } else if (m_bolBreakOnBadRcpt) {
        m_astrError = std::move(m_astrRcptError);
      } else {
        scope.Output(kDebugWarning, LogText(AnsiString("Invalid Recpient. Error: ") + m_astrRcptError));
      }
      if (m_astrError.Length() > 0) {
        QueueFront(kSMTPCmdRcptTo, kCmdStateCleanup);
        break;
      }
      ++m_intRcptIndex;
      if (m_intRcptIndex < m_pulstRecipients->Count()) {
        m_astrRcptError = AnsiString();
        QueueFront(kSMTPCmdRcptTo, kRcptToSendNextRcptTo);
        break;
      }
      if (!m_bolAnyRcptAccepted) {
        m_astrError = m_pulstRecipients->Count() == 1 ? m_astrRcptError : AnsiString("No Valid Recipients Found.");
      }
      QueueFront(kSMTPCmdRcptTo, kCmdStateCleanup);
      break;
    }
    case kCmdStateCleanup:
    case 0:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      EndCommand(saved);
      break;
    default:
      break;
  }
}

void clsSMTPProtThread::SendDataCmd() {
  clsFuncDebug scope(UniString("SendDataCmd"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  clsSMTPProtResponse reply;
  switch (command.m_intState) {
    case kCmdStateStart:
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Sending DATA..."));
      SendCommand(kSMTPCmdData, kDataParseDataResp, AnsiString("DATA"));
      break;
    case kDataParseDataResp:
      scope.Output(kDebugInfo, UniString("State: ParseDataResp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdData, kCmdStateCleanup);
      } else if (reply.m_intCode == 354) {
        QueueFront(kSMTPCmdData, kDataSendEmailData);
      } else {
        m_astrError = ServerError(reply);
        QueueFront(kSMTPCmdData, kCmdStateCleanup);
      }
      break;
    case kDataSendEmailData:
      scope.Output(kDebugInfo, UniString("State: SendEmailData"));
      SendEmailData();
      break;
    case kDataParseEmailDataResp:
      scope.Output(kDebugInfo, UniString("State: ParseEmailDataResp"));
      if (TakeResponse(&reply) && reply.m_intCode != 250) m_astrError = ServerError(reply);
      QueueFront(kSMTPCmdData, kCmdStateCleanup);
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

void clsSMTPProtThread::QueueDataEndWait() {
  // The server may take long to accept a message (filters, a slow disk): the reply to the final
  // "." is waited for at least 10 minutes, and never less than the connection's time-out.
  int const endWait = m_intDataEndWait > EffectiveTimeout() ? m_intDataEndWait : EffectiveTimeout();
  m_deqCommands.push_front(stcCommand(kEventDataReceived, 0, endWait));
}

void clsSMTPProtThread::SendEmailData() {
  QueueFront(kSMTPCmdData, kDataParseEmailDataResp);
  QueueDataEndWait();
  EnableSendBuffering(kDataBufferSize);
  bool inHeader = true;
  UniString lastDetail;
  int lastPercent = -1;
  // One line and one status text, reused for every line of the message.
  AnsiString line;
  UniString detail;
  for (;;) {
    if (RequestGivenUp()) {
      // The caller was told the send failed: the message must not go out after all.
      m_astrError = "The request was given up on.";
      DebugOutput(kDebugError, LogText(m_astrError));
      AbandonConnection();
      return;
    }
    // Base64 lines may come several to a call, unless each line is to be logged as it goes.
    if (g_bolDebugInitialized && g_intDebugLevel == kDebugFull) {
      m_pudtEmail->GetLine(&line);
    } else {
      m_pudtEmail->GetLines(&line);
    }
    UniString writerError = m_pudtEmail->GetWriterError();
    if (writerError.Length() > 0) {
      // The message cannot be written whole: it must not end with ".".
      m_astrError = writerError.GetAnsiString(1);
      DebugOutput(kDebugError, LogText(m_astrError));
      AbandonConnection();
      return;
    }
    bool end = line.Length() == 1 && line[1] == '.';
    if (end) {
      DisableSendBuffering();
      if (m_astrError.Length() > 0) {
        // The buffer did not go out: a "." now would end a message cut short.
        AbandonConnection();
        return;
      }
      // Only what comes after the "." answers it.
      DropUnaskedReplies();
    }
    bool const blank = line.Length() == 0;
    SendLine(line, true, inHeader, false);
    if (inHeader && blank) inHeader = false;
    if (m_astrError.Length() > 0) {
      AbandonConnection();
      return;
    }
    if (end) {
      AddToTranscript(AnsiString("< Sent Email Content"));
      DebugOutput(kDebugFull, UniString("< Sent Email Content"));
      m_pudtEmail->MessageSent();
      return;
    }
    int percent = 0;
    m_pudtEmail->GetStatus(&detail, &percent);
    if (percent != lastPercent || detail != lastDetail) {
      lastPercent = percent;
      lastDetail = detail;
      clsMultiVar status;
      status.SetStringVar(UniString("Detail"), detail);
      status.SetIntegerVar(UniString("Progress"), int32_t(percent));
      UpdateStatus(&status);
    }
  }
}
