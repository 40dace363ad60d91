// clsSendValues: the sent values and the look-up of one of them by name.
#include "plugin/frame/clsSendValues.h"

#include "core/DebugLog.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// The attachment a "Which" text names (1 to 3), or 0.
int AttachmentNumber(UniString const& which) {
  for (int n = 1; n <= 3; ++n) {
    UniString const digit(int32_t{n});
    for (char const* word : {"ATTACHMENT", "ATTACHMENT ", "ATTACH", "ATTACH "}) {
      if (which == U(word) + digit) return n;
    }
  }
  return 0;
}

}  // namespace

clsSendValues::clsSendValues() : m_ulstBody(nullptr), m_ulstAttachments(nullptr) { Clear(); }

clsSendValues::~clsSendValues() {
  delete m_ulstBody;
  delete m_ulstAttachments;
}

void clsSendValues::Clear() {
  m_ustrTo = UniString();
  m_ustrFrom = UniString();
  m_ustrSubject = UniString();
  if (m_ulstBody != nullptr) m_ulstBody->Clear();
  if (m_ulstAttachments != nullptr) m_ulstAttachments->Clear();
}

clsSingleVar DoGetDialogValue(clsMultiVar* parameters) {
  clsFuncDebug dbg(U("DoGetDialogValue"));
  clsSingleVar result;
  result.SetStringValue(UniString());

  UniString which;
  clsMultiVar::iterator it;
  if (parameters != nullptr && parameters->GetVar(U("Which"), it)) {
    which = it->GetValue_AsString().Trim().UpperCase();
  }

  UniString error;
  if (which.IsEmpty()) {
    error = U("ERROR: GetDialogValue: You must specify which Dialog Value to Retrieve ('Which' parameter).");
  } else if (m_udtPluginVars == nullptr) {
    error = U("ERROR: GetDialogValue: Plug-in Variables Class is NULL.");
  } else if (m_udtPluginVars->m_udtSendValues != nullptr) {
    clsSendValues const& sent = *m_udtPluginVars->m_udtSendValues;
    int const attachment = AttachmentNumber(which);
    if (which == U("TO")) {
      result.SetStringValue(sent.m_ustrTo);
    } else if (which == U("FROM")) {
      result.SetStringValue(sent.m_ustrFrom);
    } else if (which == U("SUBJECT")) {
      result.SetStringValue(sent.m_ustrSubject);
    } else if (which == U("BODY")) {
      if (sent.m_ulstBody != nullptr) result.SetListValue(sent.m_ulstBody, false);
    } else if (attachment > 0) {
      UniStringList const* list = sent.m_ulstAttachments;
      if (list != nullptr && list->Count() >= unsigned(attachment)) {
        result.SetStringValue(list->At(unsigned(attachment - 1)));
      }
    } else {
      error = U("ERROR: GetDialogValue: Unknown Dialog Value.  Please specify 'To', 'From', "
                "'Subject', 'Body', 'Attachment1', 'Attachment2', or 'Attachment3'.");
    }
  }
  if (error.IsNotEmpty()) {
    dbg.Output(kDebugError, error);
    result.SetStringValue(error);
  }
  return result;
}
