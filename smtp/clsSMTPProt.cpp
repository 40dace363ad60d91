// clsSMTPProt: the SMTP requests on the host's thread: each packs its arguments into a request
// record, posts it to the worker thread with its message code and turns the thread's answer into
// the boolean result and the error (or, for Disconnect, warning) text.
#include "smtp/clsSMTPProt.h"

#include <mutex>
#include <new>

#include "core/DebugLog.h"
#include "smtp/clsSMTPProtThread.h"

clsSMTPProt::clsSMTPProt()
    : m_intAuthType(kSMTPAuthNone), m_intTLSType(kSMTPTLSNone) {}

clsSMTPProt::~clsSMTPProt() {
  // The thread's overrides must not run during the base destructor's shutdown.
  if (m_pudtThread != nullptr) ShutdownProtocol();
}

void clsSMTPProt::SetAuthentication(enumSMTPAuthType authType, AnsiString user, AnsiString password,
                                    AnsiString from, enumSMTPTLSType tlsType, bool) {
  m_intAuthType = authType;
  m_astrUsername = user;
  m_astrPassword = password;
  m_astrFrom = from;
  m_intTLSType = tlsType;
}

void clsSMTPProt::CreateThread() {
  m_pudtThread = new (std::nothrow) clsSMTPProtThread(this);
  if (m_pudtThread == nullptr) m_astrError = "Could not allocate memory for SMTP Protocol Thread.";
}

clsGenProtData* clsSMTPProt::CreateData() {
  clsGenProtData* data = new (std::nothrow) clsSMTPProtData;
  if (data == nullptr) m_astrError = "Could not allocate memory for SMTP Protocol Data.";
  return data;
}

bool clsSMTPProt::Connect(AnsiString host, int port, int timeout) {
  clsFuncDebug scope(UniString("SMTP::Connect"));
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  bool success = false;
  if (!IsProtocolStarted()) {
    if (m_astrError.Length() == 0) m_astrError = "Protocol is not running.";
  } else if (GetConnectionState() == 1) {
    m_astrError = "Already Connected.";
  } else if (!CheckPort(port)) {
    // The error text names the port; nothing is connected.
  } else if (auto* data = static_cast<clsSMTPProtData*>(CreateData())) {
    {
      std::lock_guard<std::mutex> guard(m_mtxTranscript);
      if (m_pulstTranscript == nullptr) {
        m_pulstTranscript = new (std::nothrow) TStringList;
      } else {
        m_pulstTranscript->Clear();
      }
    }
    data->m_astrHost = host;
    data->m_intPort = port;
    data->m_intTimeout = timeout;
    data->m_intAuthType = m_intAuthType;
    data->m_astrUsername = m_astrUsername;
    data->m_astrPassword = m_astrPassword;
    data->m_astrFrom = m_astrFrom;
    data->m_intTLSType = m_intTLSType;
    success = PostRequest(kSMTPMsgConnect, data, kGenProtReplyRequestDone, "Connect: ", false);
    if (success) scope.Output(kDebugInfo, UniString("Connected."));
    delete data;
    CheckForStatusUpdates(true);
  } else {
    m_astrError = AnsiString("Connect: ") + m_astrError;
  }
  if (m_astrError.Length() > 0) scope.Output(kDebugError, LogText(m_astrError));
  if (m_astrWarning.Length() > 0) scope.Output(kDebugWarning, LogText(m_astrWarning));
  return success;
}

bool clsSMTPProt::SendOneEmail(clsSMTPEmail* email, bool breakOnBadRcpt) {
  clsFuncDebug scope(UniString("SendOneEmail"));
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  bool success = false;
  if (!IsProtocolStarted()) {
    if (m_astrError.Length() == 0) m_astrError = "Protocol is not running.";
  } else if (GetConnectionState() == 0) {
    // Only a thread that says it is not connected is refused; an unknown state goes on.
    m_astrError = "Not Connected.";
  } else if (auto* data = static_cast<clsSMTPProtData*>(CreateData())) {
    if (email == nullptr) {
      m_astrError = "SendOneEmail: Email is NULL.";
    } else {
      data->m_pudtEmail = email;
      data->m_bolBreakOnBadRcpt = breakOnBadRcpt;
      success = PostRequest(kSMTPMsgSendOneEmail, data, kGenProtReplyRequestDone, "SendOneEmail: ", false);
      if (success) scope.Output(kDebugResult, UniString("Email Sent."));
    }
    delete data;
    CheckForStatusUpdates(true);
  } else {
    m_astrError = AnsiString("SendOneEmail: ") + m_astrError;
  }
  if (m_astrError.Length() > 0) scope.Output(kDebugError, LogText(m_astrError));
  if (m_astrWarning.Length() > 0) scope.Output(kDebugWarning, LogText(m_astrWarning));
  return success;
}

void clsSMTPProt::Disconnect() {
  clsFuncDebug scope(UniString("SMTP::Disconnect"));
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  if (!IsProtocolStarted()) {
    m_astrError = AnsiString();
    m_astrWarning = "Protocol is not running.";
  } else {
    if (GetConnectionState() != 1) {
      scope.Output(kDebugWarning,
                   UniString("The thread is saying it's not connected (or can't determine if it's "
                             "connected) .. we'll ask it to disconnect anyway, to make sure "
                             "everything is reset."));
    }
    PostRequest(kSMTPMsgDisconnect, nullptr, kGenProtReplyRequestDone, "Disconnect: ", true);
    CheckForStatusUpdates(true);
  }
  if (m_astrWarning.Length() > 0) scope.Output(kDebugWarning, LogText(m_astrWarning));
}
