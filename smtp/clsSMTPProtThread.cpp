// clsSMTPProtThread: the SMTP messages and the command dispatch, the reply parser, the command
// pattern shared by every handler, the connect dialogue, QUIT, the keep-alive NOOP and the
// disconnect sequence (RFC 5321; STARTTLS of RFC 3207).
#include "smtp/clsSMTPProtThread.h"

#include <iterator>
#include <new>
#include <string>
#include <utility>

#include "core/DebugLog.h"
#include "mime/clsSMTPEmail.h"
#include "smtp/clsGenProt.h"

clsSMTPProtThread::clsSMTPProtThread(clsGenProt* controller)
    : clsGenProtThread(controller),
      m_intAuthType(kSMTPAuthNone),
      m_intSavedAuthType(kSMTPAuthNone),
      m_intTLSType(kSMTPTLSNone),
      m_intSavedTLSType(kSMTPTLSNone),
      m_bolLoggedIn(false),
      m_bolBreakOnBadRcpt(true),
      m_bolAnyRcptAccepted(false),
      m_bolSettingsSaved(false),
      m_pudtEmail(nullptr),
      m_intVerifyTimeout(30),
      m_intRcptIndex(0),
      m_intSavedPort(0),
      m_intSavedTimeout(0),
      m_pulstRecipients(nullptr),
      m_intVerifyPort(25),
      m_intDataEndWait(kDataEndWaitSeconds),
      m_bolDropClearText(false),
      m_bolTLSStarted(false) {}

clsSMTPProtThread::~clsSMTPProtThread() { delete m_pulstRecipients; }

// ---------------------------------------------------------------------------------------------
// Messages from the controller, and the answer.

bool clsSMTPProtThread::ProcessThreadMessage(int code, clsGenProtData* data) {
  if (clsGenProtThread::ProcessThreadMessage(code, data)) return true;
  if (code < kSMTPMsgConnect || code > kSMTPMsgVerifyEmail) return false;
  m_bolRequestDone = false;
  m_astrError = AnsiString();
  auto* record = dynamic_cast<clsSMTPProtData*>(data);
  if (record == nullptr && code != kSMTPMsgDisconnect) {
    m_astrError = "Data is NULL.";
    m_bolRequestDone = true;
    return true;
  }
  switch (code) {
    case kSMTPMsgConnect:
      m_astrHost = record->m_astrHost;
      m_intPort = record->m_intPort;
      m_intTimeout = record->m_intTimeout;
      m_intAuthType = record->m_intAuthType;
      m_astrUsername = record->m_astrUsername;
      m_astrPassword = record->m_astrPassword;
      m_astrFrom = record->m_astrFrom;
      m_intTLSType = record->m_intTLSType;
      QueueBack(kSMTPCmdConnect, kCmdStateStart);
      break;
    case kSMTPMsgDisconnect:
      QueueBack(kSMTPCmdDisconnect, kCmdStateStart);
      break;
    case kSMTPMsgSendOneEmail:
      m_pudtEmail = record->m_pudtEmail;
      m_bolBreakOnBadRcpt = record->m_bolBreakOnBadRcpt;
      QueueBack(kSMTPCmdSendOneEmail, kCmdStateStart);
      break;
    default:
      m_astrVerifyAddress = record->m_astrVerifyAddress;
      m_astrFrom = record->m_astrFrom;
      m_intVerifyTimeout = record->m_intVerifyTimeout;
      m_astrDNSServer = record->m_astrDNSServer;
      QueueBack(kSMTPCmdVerifyEmail, kCmdStateStart);
      break;
  }
  return true;
}

void clsSMTPProtThread::ProcessRequestDone(clsGenProtData* data) {
  if (auto* record = dynamic_cast<clsSMTPProtData*>(data)) record->m_astrVerifyAddress = m_astrVerifyAddress;
  clsGenProtThread::ProcessRequestDone(data);
}

bool clsSMTPProtThread::IsThreadBusy() { return !NothingButNoOpQueued(); }

bool clsSMTPProtThread::ProcessCommandQueue() {
  if (m_bolDropClearText && !m_deqCommands.empty() && m_deqCommands.front().m_intCode == kCmdNegotiateTLS) {
    // Whatever came in clear after the server's go-ahead for STARTTLS is no answer over TLS.
    m_bolDropClearText = false;
    m_deqResponses.clear();
    for (auto it = m_deqEvents.begin(); it != m_deqEvents.end();) {
      it = (*it == kEventDataReceived) ? m_deqEvents.erase(it) : it + 1;
    }
    if (m_ulngReceiveEnd > m_ulngReceiveStart) {
      DebugOutput(kDebugWarning, UniString("Dropping data the server sent in clear after its answer to STARTTLS."));
    }
    m_ulngReceiveStart = 0;
    m_ulngReceiveEnd = 0;
    m_bolCRAtEnd = false;
  }
  if (clsGenProtThread::ProcessCommandQueue()) return true;
  switch (m_deqCommands.front().m_intCode) {
    case kSMTPCmdConnect: SMTPConnect(); return true;
    case kSMTPCmdDisconnect: SMTPDisconnect(); return true;
    case kSMTPCmdAuthenticate: DoAuthentication(); return true;
    case kSMTPCmdSendOneEmail: DoSendOneEmail(); return true;
    case kSMTPCmdVerifyEmail: DoVerifyEmailAddress(); return true;
    case kSMTPCmdQuit: SendQuitCmd(); return true;
    case kSMTPCmdNoOp: SendNoOpCmd(); return true;
    case kSMTPCmdRset: SendRsetCmd(); return true;
    case kSMTPCmdMailFrom: SendMailFromCmd(); return true;
    case kSMTPCmdRcptTo: SendRcptToCmd(); return true;
    case kSMTPCmdData: SendDataCmd(); return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Replies.

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void clsSMTPProtThread::ReceivedNewLine(AnsiString line, bool*) {
  if (m_bolInputRejected) return;
  if (line.Length() == 0) {
    DebugOutput(kDebugFull, UniString("Line is blank?  exiting..."));
    return;
  }
  bool continues = !m_deqResponses.empty() && !m_deqResponses.back().m_bolComplete;
  if (!continues) {
    if (m_deqResponses.size() >= kMaxHeldReplies) {
      FailConnection(AnsiString("The server sent more than ") + AnsiString(int(kMaxHeldReplies)) +
                     AnsiString(" replies that were not asked for."));
      m_bolLoggedIn = false;
      return;
    }
    m_deqResponses.emplace_back();
  }
  int code = 0;
  bool hasCode = line.Length() >= 3 && IsDigit(line[1]) && IsDigit(line[2]) && IsDigit(line[3]);
  if (hasCode) {
    code = (line[1] - '0') * 100 + (line[2] - '0') * 10 + (line[3] - '0');
    line = line.SubString(4, line.Length() - 3);
  } else if (!continues) {
    clsSMTPProtResponse& reply = m_deqResponses.back();
    m_astrError = AnsiString("SMTP Server did not respond with a proper status code. It returned: ") + line;
    reply.m_bolComplete = true;
    AddDataReceivedEvent();
    return;
  } else {
    // A line without a code inside an open reply continues it.
    code = m_deqResponses.back().m_intCode;
    line = AnsiString("-") + line;
  }
  if (continues && code != m_deqResponses.back().m_intCode) {
    m_deqResponses.back().m_bolComplete = true;
    if (m_deqResponses.size() >= kMaxHeldReplies) {
      FailConnection(AnsiString("The server sent more than ") + AnsiString(int(kMaxHeldReplies)) +
                     AnsiString(" replies that were not asked for."));
      m_bolLoggedIn = false;
      return;
    }
    m_deqResponses.emplace_back();
  }
  clsSMTPProtResponse& reply = m_deqResponses.back();
  reply.m_intCode = code;
  bool continuation = line.Length() > 0 && line[1] == '-';
  AnsiString text = line.Length() > 1 ? line.SubString(2, line.Length() - 1) : AnsiString();
  if (reply.m_pulstLines == nullptr) reply.m_pulstLines = new (std::nothrow) TStringList;
  if (reply.m_pulstLines != nullptr) {
    if (reply.m_pulstLines->Count() >= kMaxReplyLines) {
      FailConnection(AnsiString("The server sent a reply of more than ") + AnsiString(kMaxReplyLines) +
                     AnsiString(" lines."));
      m_bolLoggedIn = false;
      return;
    }
    reply.m_pulstLines->Add(text);
  }
  if (!continuation) {
    reply.m_bolComplete = true;
    AddDataReceivedEvent();
  }
}

bool clsSMTPProtThread::TakeResponse(clsSMTPProtResponse* response) {
  if (m_deqResponses.empty()) {
    m_astrError = "Response Queue is Empty!";
    return false;
  }
  *response = std::move(m_deqResponses.front());
  m_deqResponses.pop_front();
  return true;
}

AnsiString clsSMTPProtThread::ServerError(clsSMTPProtResponse const& response) {
  // Built in one buffer of the right size: a reply may hold up to 1000 lines of 64 KiB.
  static char const kLead[] = "SMTP Server Error: ";
  TStringList const* lines = response.m_pulstLines;
  if (lines == nullptr) return AnsiString(kLead) + response.Text();
  size_t total = sizeof kLead - 1;
  for (int i = 0; i < lines->Count(); ++i) total += size_t(lines->Strings[unsigned(i)].Length()) + (i > 0 ? 1 : 0);
  std::string text;
  try {
    text.reserve(total);
    text.append(kLead);
    for (int i = 0; i < lines->Count(); ++i) {
      AnsiString const& line = lines->Strings[unsigned(i)];
      if (i > 0) text.push_back('\r');
      text.append(line.c_str(), size_t(line.Length()));
    }
  } catch (std::bad_alloc const&) {
    return AnsiString();
  }
  return AnsiString(text.data(), int(text.size()));
}

AnsiString clsSMTPProtThread::GetCleanEmailAddress(AnsiString address) {
  AnsiString trimmed = address.Trim();
  // The "<" that opens the address is the first outside quoted strings and comments, as the
  // header block reads it: "Bob <evil@x.test>" <a@b.test> and (Bob <evil@x.test>) a@b.test
  // name a@b.test, so the envelope can never go to a mailbox the header does not show.
  AnsiString angle;
  clsSMTPEmail::SplitEmailAddress(trimmed, nullptr, &angle, nullptr);
  if (angle.Length() == 0 || angle[1] != '<') return trimmed;
  // Up to the ">" that closes it, or to the end.
  int end = angle[angle.Length()] == '>' && angle.Length() > 1 ? angle.Length() : angle.Length() + 1;
  return angle.SubString(2, end - 2);
}

bool clsSMTPProtThread::HasLineBreakOrZero(AnsiString const& text) {
  char const* bytes = text.c_str();
  for (int i = 0; i < text.Length(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0') return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// The command pattern.

bool clsSMTPProtThread::BeginCommand(clsFuncDebug&, stcCommand* command, AnsiString* saved) {
  return TakeFrontCommand(command, saved);
}

void clsSMTPProtThread::StartCommand(UniString status) {
  if (status.Length() > 0) UpdateStatus(status, 101);
  m_bolRequestDone = false;
  DropUnaskedReplies();
  m_deqResponses.clear();
}

void clsSMTPProtThread::DropUnaskedReplies() {
  while (!m_deqResponses.empty() && m_deqResponses.front().m_bolComplete) {
    DebugOutput(kDebugWarning, LogText(AnsiString("Dropping a reply the server sent unasked: ") +
                                       AnsiString(m_deqResponses.front().m_intCode) + AnsiString(" ") +
                                       m_deqResponses.front().Text()));
    m_deqResponses.pop_front();
    for (auto it = m_deqEvents.begin(); it != m_deqEvents.end(); ++it) {
      if (*it == kEventDataReceived) {
        m_deqEvents.erase(it);
        break;
      }
    }
  }
}

void clsSMTPProtThread::SendCommand(int code, int parseState, AnsiString text, bool censor) {
  DropUnaskedReplies();
  QueueFront(code, parseState);
  QueueFront(kEventDataReceived, 0);
  SendLine(text, true, true, censor);
}

void clsSMTPProtThread::QueueNext(std::initializer_list<stcCommand> commands) {
  for (auto it = std::rbegin(commands); it != std::rend(commands); ++it) m_deqCommands.push_front(*it);
}

bool clsSMTPProtThread::NothingButNoOpQueued() const {
  // The first command, past the waits in front of it.
  for (stcCommand const& entry : m_deqCommands) {
    if (entry.m_intCode >= kCmdConnect) return entry.m_intCode == kSMTPCmdNoOp;
  }
  return true;
}

void clsSMTPProtThread::EndCommand(AnsiString const& saved, char const* idleText) {
  if (saved.Length() > 0) m_astrError = std::move(saved);
  if (NothingButNoOpQueued()) {
    UpdateStatus(UniString(idleText), 0);
    m_bolRequestDone = true;
  }
}

void clsSMTPProtThread::AbandonConnection() {
  // What the buffer holds would go out ahead of the next commands, even on a new connection.
  m_ulngSendBufferUsed = 0;
  DisableSendBuffering();
  m_bolLoggedIn = false;
  m_bolCloseAfterRequest = true;
}

// ---------------------------------------------------------------------------------------------
// Connect, disconnect, QUIT, NOOP.

AnsiString clsSMTPProtThread::EHloName() {
  AnsiString name = GetLocalHost();
  if (name.Length() == 0) name = AnsiString("[") + GetLocalIP() + AnsiString("]");
  return name;
}

void clsSMTPProtThread::SMTPConnect() {
  clsFuncDebug scope(UniString("SMTPConnect"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  clsSMTPProtResponse reply;
  switch (command.m_intState) {
    case kCmdStateStart:
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Connecting..."));
      m_astrEHloError = AnsiString();
      if (m_intPort <= 0) m_intPort = 25;
      m_bolLineMode = true;
      m_bolDropClearText = false;
      m_bolTLSStarted = false;
      m_astrHeldError = AnsiString();
      if (m_intTLSType == kSMTPTLSImmediate) {
        QueueNext({{kCmdConnect, kCmdStateStart}, {kSMTPCmdConnect, kConnectDoPreTLS}});
      } else {
        QueueNext({{kCmdConnect, kCmdStateStart},
                   {kEventDataReceived, 0},
                   {kSMTPCmdConnect, kConnectGetServerBanner}});
      }
      break;
    case kConnectDoPreTLS:
      scope.Output(kDebugInfo, UniString("State: DoPreTLS"));
      m_bolTLSStarted = true;
      QueueNext({{kCmdNegotiateTLS, kCmdStateStart},
                 {kEventDataReceived, 0},
                 {kSMTPCmdConnect, kConnectGetServerBanner}});
      break;
    case kConnectGetServerBanner:
      scope.Output(kDebugInfo, UniString("State: GetServerBanner"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      } else if (reply.m_intCode == 220) {
        QueueNext({{kSMTPCmdConnect, kConnectDoEHlo}});
      } else {
        m_astrError = ServerError(reply);
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      }
      break;
    case kConnectDoEHlo:
      scope.Output(kDebugInfo, UniString("State: DoEHlo"));
      SendCommand(kSMTPCmdConnect, kConnectParseEHloResp, AnsiString("EHLO ") + EHloName());
      break;
    case kConnectParseEHloResp:
      scope.Output(kDebugInfo, UniString("State: ParseEHloResp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      } else if (reply.m_intCode == 250) {
        if (m_intTLSType == kSMTPTLSStartTLS && !IsTLSActive()) {
          QueueNext({{kSMTPCmdConnect, kConnectStartTLS}});
        } else if (m_intAuthType == kSMTPAuthNone) {
          QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
        } else {
          QueueNext({{kSMTPCmdConnect, kConnectDoAuth}});
        }
      } else {
        m_astrEHloError = AnsiString("EHlo failed: ") + reply.Text();
        scope.Output(kDebugWarning, UniString(m_astrEHloError));
        if (m_intTLSType == kSMTPTLSStartTLS && !IsTLSActive()) {
          // HELO knows no STARTTLS: falling back would go on in clear.
          m_astrError = AnsiString("SMTP Server Error: ") + m_astrEHloError;
          QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
        } else {
          QueueNext({{kSMTPCmdConnect, kConnectDoHelo}});
        }
      }
      break;
    case kConnectStartTLS:
      SendCommand(kSMTPCmdConnect, kConnectParseStartTLSResp, AnsiString("STARTTLS"));
      break;
    case kConnectParseStartTLSResp:
      scope.Output(kDebugInfo, UniString("State: ParseStartTLSResp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      } else if (reply.m_intCode == 220) {
        m_bolDropClearText = true;
        m_bolTLSStarted = true;
        QueueNext({{kCmdNegotiateTLS, kCmdStateStart}, {kSMTPCmdConnect, kConnectDoEHlo}});
      } else {
        m_astrError = ServerError(reply);
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      }
      break;
    case kConnectDoHelo:
      scope.Output(kDebugInfo, UniString("State: DoHelo"));
      SendCommand(kSMTPCmdConnect, kConnectParseHeloResp, AnsiString("HELO ") + EHloName());
      break;
    case kConnectParseHeloResp:
      scope.Output(kDebugInfo, UniString("State: ParseHeloResp"));
      if (!TakeResponse(&reply)) {
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      } else if (reply.m_intCode == 250) {
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      } else {
        m_astrError = AnsiString("SMTP Server Error: ");
        if (m_astrEHloError.Length() > 0) m_astrError += m_astrEHloError + AnsiString("; Helo failed: ");
        m_astrError += reply.Text();
        QueueFront(kSMTPCmdConnect, kCmdStateCleanup);
      }
      break;
    case kConnectDoAuth:
      scope.Output(kDebugInfo, UniString("State: DoAuth"));
      QueueNext({{kSMTPCmdAuthenticate, kCmdStateStart}, {kSMTPCmdConnect, kCmdStateCleanup}});
      break;
    case kCmdStateCleanup:
    case 0:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      if (saved.Length() == 0) {
        m_bolLoggedIn = true;
        EndCommand(saved, "Idle");
      } else if (SessionTakesQuit()) {
        // The session is still open and between commands: it ends with QUIT (RFC 5321
        // 4.1.1.10), and the request still ends with this error.
        m_astrHeldError = saved;
        QueueNext({{kSMTPCmdQuit, kCmdStateStart}, {kSMTPCmdDisconnect, kDisconnectDisconnect}});
      } else {
        m_astrError = saved;
        QueueFront(kSMTPCmdDisconnect, kDisconnectDisconnect);
      }
      break;
    default:
      break;
  }
}

void clsSMTPProtThread::SMTPDisconnect() {
  clsFuncDebug scope(UniString("SMTPDisconnect"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  switch (command.m_intState) {
    case kCmdStateStart:
      scope.Output(kDebugInfo, UniString("State: Start"));
      StartCommand(UniString("Disconnecting..."));
      m_bolLoggedIn = false;
      QueueBack(kSMTPCmdQuit, kCmdStateStart);
      QueueBack(kSMTPCmdDisconnect, kDisconnectDisconnect);
      break;
    case kDisconnectDisconnect:
      scope.Output(kDebugInfo, UniString("State: Disconnect"));
      QueueBack(kCmdDisconnect, kCmdStateStart);
      QueueBack(kSMTPCmdDisconnect, kCmdStateCleanup);
      break;
    case kCmdStateCleanup:
    case 0:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      if (saved.Length() > 0) m_astrError = std::move(saved);
      if (m_astrHeldError.Length() > 0) {
        m_astrError = m_astrHeldError;  // the failure that led to the QUIT comes first
        m_astrHeldError = AnsiString();
      }
      CleanupSocket();
      m_bolLoggedIn = false;
      UpdateStatus(UniString("Idle."), 0);
      m_bolRequestDone = true;
      m_bolCloseAfterRequest = false;
      break;
    default:
      break;
  }
}

bool clsSMTPProtThread::SessionTakesQuit() const {
  // Not after a time-out or a reply cut off (the server's state is not known), nor when TLS was
  // begun and is not up (the server expects TLS records, not a line in clear).
  return m_bolConnected && !m_bolInputRejected && !m_bolCloseAfterRequest && !(m_bolTLSStarted && !IsTLSActive());
}

void clsSMTPProtThread::SendQuitCmd() {
  clsFuncDebug scope(UniString("SendQuitCmd"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  if (command.m_intState == kCmdStateStart) {
    scope.Output(kDebugInfo, UniString("State: Start"));
    StartCommand(UniString("Sending QUIT..."));
    SendCommand(kSMTPCmdQuit, kCmdStateCleanup, AnsiString("QUIT"));
  } else if (command.m_intState == kCmdStateCleanup || command.m_intState == 0) {
    scope.Output(kDebugInfo, UniString("State: Cleanup"));
    if (!m_deqResponses.empty()) m_deqResponses.pop_front();  // any answer will do
    EndCommand(saved, "Idle.");
    if (m_astrHeldError.Length() > 0) {
      // The QUIT of a failed connect: the request ends with the failure, through the clean-ups.
      m_astrError = m_astrHeldError;
      m_astrHeldError = AnsiString();
    }
  }
}

void clsSMTPProtThread::SendNoOpCmd() {
  clsFuncDebug scope(UniString("SendNoOpCmd"));
  stcCommand command;
  AnsiString saved;
  if (!BeginCommand(scope, &command, &saved)) return;
  if (command.m_intState == kCmdStateStart) {
    scope.Output(kDebugInfo, UniString("State: Start"));
    SendCommand(kSMTPCmdNoOp, kCmdStateCleanup, AnsiString("NOOP"));
  } else if (command.m_intState == kCmdStateCleanup || command.m_intState == 0) {
    scope.Output(kDebugInfo, UniString("State: Cleanup"));
    if (!m_deqResponses.empty()) m_deqResponses.pop_front();  // whatever the answer
    if (saved.Length() > 0) {
      if (m_deqCommands.empty()) {
        // The keep-alive failed while no request ran: the session is gone.
        scope.Output(kDebugWarning, UniString(AnsiString("Keep-alive failed: ") + saved));
        m_bolLoggedIn = false;
        m_bolCloseAfterRequest = false;
        CleanupSocket();
      } else {
        m_astrError = saved;  // the request queued behind it ends with it
      }
    }
  }
}

void clsSMTPProtThread::IdleTimeout() {
  if (!m_bolLoggedIn) return;
  if (!m_bolConnected) {
    m_bolLoggedIn = false;
    return;
  }
  // The keep-alive goes out only between requests: a request's own waits are bounded already.
  if (!m_deqCommands.empty()) return;
  m_astrError = AnsiString();
  QueueBack(kSMTPCmdNoOp, kCmdStateStart);
}
