// clsFMPScripts: the script-event and SQL queues and the steps of one idle call over them.
// Times are whole seconds since 1970 and compared unsigned, as the events store them.
#include "plugin/frame/clsFMPScripts.h"

#include "core/DebugLog.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXExtern.h"
#include "platform/fmx/FMXText.h"
#include "plugin/PluginGlobals.h"

clsFMPScripts g_udtFMPScripts;
clsFMPScriptItem* g_udtCurrFMPScriptItem = nullptr;
UniStringList* m_ulstSQLQueue = nullptr;

namespace {

// A failed start is tried again at the next idle calls; the 21st failure gives up.
const int32_t kMaxScriptRetries = 20;

uint32_t NowInSeconds() {
  clsDateTime now;
  now.SetToNow();
  return now.GetAsSeconds();
}

void SetHostText(fmx::Text& text, UniString const& value) {
  text.AssignUnicodeWithLength(value.GetBytes(), fmx::uint32(value.Length()));
}

bool Eligible(clsFMPScriptItem const* item, enumScriptPriority minimum) {
  return item->m_enmPriority >= minimum;
}

}  // namespace

clsFMPScriptItem::clsFMPScriptItem()
    : m_enmType(kScriptEventImmediate),
      m_intFailures(0),
      m_ulngSeconds(0),
      m_bolRepeat(false),
      m_enmPriority(kScriptPriorityNormal),
      m_bytScriptControl(0),
      m_bolIdleFired(false),
      m_udtNext(nullptr) {}

clsFMPScripts::clsFMPScripts()
    : m_udtFirstImmediate(nullptr), m_udtLastImmediate(nullptr), m_udtFirstTimed(nullptr), m_udtLastTimed(nullptr) {}

clsFMPScripts::~clsFMPScripts() { RemAllEvents(); }

clsFMPScriptItem* clsFMPScripts::GetNextEvent(enumScriptPriority minimum, uint32_t idleSince) {
  if (m_udtFirstImmediate) {
    if (Eligible(m_udtFirstImmediate, minimum)) {
      DebugOutput(kDebugFull, UniString("Found an Immediate Event (top)"));
      return m_udtFirstImmediate;
    }
    for (clsFMPScriptItem* item = m_udtFirstImmediate->m_udtNext; item; item = item->m_udtNext) {
      if (Eligible(item, minimum)) {
        DebugOutput(kDebugFull, UniString("Found an Immediate Event"));
        return item;
      }
    }
  }

  uint32_t const now = NowInSeconds();
  clsFMPScriptItem* candidate = nullptr;
  for (clsFMPScriptItem* item = m_udtFirstTimed; item; item = item->m_udtNext) {
    if (!Eligible(item, minimum)) continue;
    switch (item->m_enmType) {
      case kScriptEventImmediate:
        DebugOutput(kDebugFull, UniString("Found an Immediate Event (in Timed Event Queue?)"));
        candidate = item;
        break;
      case kScriptEventDateTime:
        if (now >= item->m_udtWhen.GetAsSeconds()) {
          DebugOutput(kDebugFull, UniString("Found a Date Time Event."));
          candidate = item;
        }
        break;
      case kScriptEventInterval:
        if (now >= uint32_t(item->m_udtWhen.GetAsSeconds() + item->m_ulngSeconds)) {
          item->m_udtWhen.SetAsSeconds(now);
          DebugOutput(kDebugFull, UniString("Found an Internval Event."));
          candidate = item;
        }
        break;
      case kScriptEventIdle:
        if (idleSince == 0) break;
        if (now < uint32_t(idleSince + item->m_ulngSeconds)) {
          if (item->m_bolIdleFired) {
            item->m_bolIdleFired = false;
            DebugOutput(kDebugFull, UniString("Reset an Idle Event."));
          }
        } else if (!item->m_bolIdleFired) {
          item->m_bolIdleFired = true;
          DebugOutput(kDebugFull, UniString("Found an Idle Event."));
          candidate = item;
        }
        break;
      default:
        break;
    }
  }
  return candidate;
}

void clsFMPScripts::RemEvent(clsFMPScriptItem* item) {
  if (!item) return;
  clsFMPScriptItem** lists[2][2] = {{&m_udtFirstImmediate, &m_udtLastImmediate}, {&m_udtFirstTimed, &m_udtLastTimed}};
  for (auto& list : lists) {
    clsFMPScriptItem* previous = nullptr;
    for (clsFMPScriptItem* at = *list[0]; at; previous = at, at = at->m_udtNext) {
      if (at != item) continue;
      if (previous)
        previous->m_udtNext = at->m_udtNext;
      else
        *list[0] = at->m_udtNext;
      if (*list[1] == at) *list[1] = previous;
      delete at;
      return;
    }
  }
}

void clsFMPScripts::RemAllEvents() {
  for (clsFMPScriptItem* first : {m_udtFirstImmediate, m_udtFirstTimed}) {
    while (first) {
      clsFMPScriptItem* next = first->m_udtNext;
      delete first;
      first = next;
    }
  }
  m_udtFirstImmediate = m_udtLastImmediate = m_udtFirstTimed = m_udtLastTimed = nullptr;
}

void ProcessFMPScripts(bool runScripts, enumScriptPriority minimum, uint32_t idleSince) {
  clsFMPScriptItem*& current = g_udtCurrFMPScriptItem;
  if (current) {
    bool keep = current->m_enmType == kScriptEventIdle
                    ? NowInSeconds() >= uint32_t(idleSince + current->m_ulngSeconds)
                    : Eligible(current, minimum);
    if (!keep) current = nullptr;
  }
  if (!current) {
    current = g_udtFMPScripts.GetNextEvent(minimum, idleSince);
    if (!current) return;
    current->m_intFailures = 0;
  }

  if (runScripts && current->m_ustrFileName.IsNotEmpty() && current->m_ustrScriptName.IsNotEmpty()) {
    if (DoFMPScript(current->m_ustrFileName, current->m_ustrScriptName, current->m_ustrParameter,
                    current->m_bytScriptControl) == 1) {
      DebugOutput(kDebugInfo, UniString("ProcessFMPScripts: Called script \"") + current->m_ustrScriptName +
                                  UniString("\" in db \"") + current->m_ustrFileName + UniString("\"."));
    } else {
      ++current->m_intFailures;
      DebugOutput(kDebugError, UniString("ProcessFMPScripts: failed to call script"));
      if (current->m_intFailures <= kMaxScriptRetries) return;
      DebugOutput(kDebugError, UniString("ProcessFMPScripts: failure: giving up"));
    }
  }

  bool const stays = (current->m_enmType == kScriptEventInterval || current->m_enmType == kScriptEventIdle) &&
                     current->m_bolRepeat;
  if (!stays) g_udtFMPScripts.RemEvent(current);
  current = nullptr;
}

int DoFMPScript(UniString fileName, UniString scriptName, UniString parameter, uint8_t control) {
  if (fileName.IsEmpty() || scriptName.IsEmpty()) return 0;
  if (!gFMX_ExternCallPtr || !gFMX_ExternCallPtr->cStartScript) return 0;
  fmx::Text file;
  fmx::Text script;
  SetHostText(file, fileName);
  SetHostText(script, scriptName);
  fmx::Data parameterData;
  if (parameter.IsNotEmpty()) {
    fmx::Text parameterText;
    SetHostText(parameterText, parameter);
    parameterData.SetAsText(parameterText, fmx::Locale(fmx::Locale::kType_Current), fmx::Data::kDTText);
  }
  fmx::errcode const answer =
      gFMX_ExternCallPtr->cStartScript(&file, &script, control, parameter.IsNotEmpty() ? &parameterData : nullptr);
  if (answer == 0) return 1;
  DebugOutput(kDebugError, UniString("DoFMPScript: FMX_StartScript returned an error: ") + UniString(int32_t(answer)));
  return 0;
}

bool ProcessSQLQueue(fmx::ExprEnv const& env) {
  if (!m_ulstSQLQueue || m_ulstSQLQueue->Count() == 0) return false;
  UniString const statement = m_ulstSQLQueue->At(0);
  DebugOutput(kDebugInfo,
              UniString("ProcessSQLQueue: ExecuteSQL (first 100 chars): ") + statement.SubString(1, 100));
  fmx::Text text;
  SetHostText(text, statement);
  fmx::Data result;
  fmx::errcode const answer = env.ExecuteSQL(text, result, 44, 13);
  DebugOutput(kDebugInfo, UniString("Returned from FileMaker."));
  if (answer != 0)
    DebugOutput(kDebugError, UniString("ProcessSQLQueue: ExecuteSQL returned: ") + UniString(int32_t(answer)));
  else
    DebugOutput(kDebugInfo, UniString("ProcessSQLQueue: Success."));
  m_ulstSQLQueue->Delete(m_ulstSQLQueue->begin());
  return true;
}

void CleanUpSQLQueue() {
  delete m_ulstSQLQueue;
  m_ulstSQLQueue = nullptr;
}
