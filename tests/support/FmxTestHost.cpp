// FmxTestHost: the in-process test host. Records what the plug-in asks of the host and answers
// from what the test configured; handles are malloc'ed blocks whose size the host remembers.
#include "support/FmxTestHost.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Memory Manager result codes the handle services report.
const fmx::errcode kMemFullErr = -108;
const fmx::errcode kNilHandleErr = -109;

}  // namespace

FmxTestHost::FmxTestHost() : m_udtPrevious(fmx::InstallHostServices(this)) {
  fmx::InitExternCallStruct(m_udtBlock);
  m_udtEnv.SetIdentity(1, 1);
}

FmxTestHost::~FmxTestHost() {
  fmx::InstallHostServices(m_udtPrevious);
  for (auto& entry : m_mapHandles) std::free(entry.second->ptrBytes);
}

// --- Entry point and call block ----------------------------------------------------------------

FMX_IntPtr FmxTestHost::Call(fmx::uchar whichCall, fmx::uchar parm1, FMX_IntPtr parm2, FMX_IntPtr parm3,
                             FMX_IntPtr result) {
  m_udtBlock.extnVersion = m_shtApiVersion;
  m_udtBlock.resourceID = m_shtResourceID;
  m_udtBlock.whichCall = whichCall;
  m_udtBlock.parm1 = parm1;
  m_udtBlock.parm2 = parm2;
  m_udtBlock.parm3 = parm3;
  m_udtBlock.result = result;
  if (!m_procEntry) return 0;
  m_procEntry(&m_udtBlock);
  return m_udtBlock.result;
}

FMX_IntPtr FmxTestHost::Init(fmx::int16 apiVersion, fmx::uchar appType, std::string const& versionText) {
  fmx::Text text;
  SetText(text, versionText);
  m_ustrVersionText.assign(text.GetSize() + 1, u'\0');
  text.GetUnicode(reinterpret_cast<fmx::unichar16*>(&m_ustrVersionText[0]), 0, text.GetSize());
  m_shtApiVersion = apiVersion;
  return Call(kFMXT_Init, appType, reinterpret_cast<FMX_IntPtr>(m_ustrVersionText.data()));
}

void FmxTestHost::Idle(fmx::uchar level) { Call(kFMXT_Idle, level); }

void FmxTestHost::Shutdown() { Call(kFMXT_Shutdown); }

void FmxTestHost::AppPreferences() {
  Call(kFMXT_DoAppPreferences);
}

std::string FmxTestHost::GetString(fmx::uchar stringId) {
  // Generous and zeroed, so that whatever the plug-in writes ends in a 0 unit.
  m_lstStringBuffer.assign(1024, 0);
  Call(kFMXT_GetString, stringId, 0, FMX_IntPtr(m_lstStringBuffer.size() - 1),
       reinterpret_cast<FMX_IntPtr>(m_lstStringBuffer.data()));
  fmx::Text text;
  text.AssignUnicode(m_lstStringBuffer.data());
  return ToUTF8(text);
}

void FmxTestHost::External(fmx::int32 functionNumber, char** parameterHandle, char** resultHandle) {
  Call(kFMXT_External, 0, FMX_IntPtr(functionNumber),
       reinterpret_cast<FMX_IntPtr>(parameterHandle), reinterpret_cast<FMX_IntPtr>(resultHandle));
}

// --- Registered functions ------------------------------------------------------------------------

FmxTestHost::stcFunction const* FmxTestHost::FindFunction(fmx::int16 functionId) const {
  for (auto const& function : m_lstFunctions)
    if (function.functionId == functionId) return &function;
  return nullptr;
}

void FmxTestHost::RefuseRegistration(fmx::int16 functionId, fmx::errcode code) {
  if (code == 0)
    m_mapRefused.erase(functionId);
  else
    m_mapRefused[functionId] = code;
}

fmx::errcode FmxTestHost::CallFunction(fmx::int16 functionId, fmx::DataVect const& parms, fmx::Data& result) {
  stcFunction const* function = FindFunction(functionId);
  if (!function) return fmx::kErrNotFound;
  long count = long(parms.Size());
  if (count < function->minArgs || (function->maxArgs >= 0 && count > function->maxArgs)) return fmx::kErrBadArgument;
  return function->callback(functionId, m_udtEnv, parms, result);
}

fmx::errcode FmxTestHost::CallFunctionWith(fmx::int16 functionId, std::vector<fmx::Data> const& parms,
                                           fmx::Data& result) {
  fmx::DataVect vect;
  for (auto const& parm : parms) vect.PushBack(parm);
  return CallFunction(functionId, vect, result);
}

fmx::errcode FmxTestHost::RegisterExternalFunction(fmx::QuadChar const& pluginId, fmx::int16 functionId,
                                                   fmx::Text const& name, fmx::Text const& prototype,
                                                   fmx::int16 minArgs, fmx::int16 maxArgs, fmx::uint32 flags,
                                                   fmx::ExtPluginType callback) {
  auto refused = m_mapRefused.find(functionId);
  if (refused != m_mapRefused.end()) return refused->second;
  if (FindFunction(functionId)) return fmx::kErrDuplicate;
  m_lstFunctions.push_back(
      stcFunction{pluginId, functionId, ToUTF8(name), ToUTF8(prototype), minArgs, maxArgs, flags, callback});
  return fmx::kNoErr;
}

fmx::errcode FmxTestHost::UnRegisterExternalFunction(fmx::QuadChar const& pluginId, fmx::int16 functionId) {
  m_lstUnregistered.push_back(functionId);
  for (auto it = m_lstFunctions.begin(); it != m_lstFunctions.end(); ++it) {
    if (it->functionId == functionId && it->pluginId == pluginId) {
      m_lstFunctions.erase(it);
      return fmx::kNoErr;
    }
  }
  return fmx::kErrNotFound;
}

// --- Calculation engine --------------------------------------------------------------------------

void FmxTestHost::SetEvaluateResult(std::string const& expression, std::string const& text) {
  m_mapEvaluate[expression] = TextData(text);
}

void FmxTestHost::SetEvaluateResult(std::string const& expression, fmx::Data const& value) {
  m_mapEvaluate[expression] = value;
}

fmx::errcode FmxTestHost::Evaluate(fmx::ExprEnv const&, fmx::Text const& expression, fmx::Data& result) {
  std::string text = ToUTF8(expression);
  m_lstEvaluated.push_back(text);
  if (m_shtEvaluateError != 0) return m_shtEvaluateError;
  auto found = m_mapEvaluate.find(text);
  if (found == m_mapEvaluate.end()) return kErrUnknownExpression;
  result = found->second;
  return fmx::kNoErr;
}

void FmxTestHost::SetSQLAnswer(fmx::errcode code, std::string const& resultText) {
  m_shtSQLError = code;
  m_strSQLResult = resultText;
}

fmx::errcode FmxTestHost::ExecuteSQL(fmx::ExprEnv const&, fmx::Text const& expression, fmx::Data& result,
                                     fmx::uint16 colSep, fmx::uint16 rowSep) {
  m_lstSQL.push_back(stcSQLRequest{ToUTF8(expression), colSep, rowSep});
  if (m_shtSQLError != 0) return m_shtSQLError;
  result = TextData(m_strSQLResult);
  return fmx::kNoErr;
}

fmx::errcode FmxTestHost::StartScript(fmx::Text const& fileName, fmx::Text const& scriptName, fmx::uchar control,
                                      fmx::Data const* parameter) {
  m_lstScripts.push_back(stcScriptRequest{ToUTF8(fileName), ToUTF8(scriptName), control, parameter != nullptr,
                                          parameter ? TextOf(*parameter) : std::string()});
  return m_shtScriptError;
}

void FmxTestHost::SetEnvironmentIdentity(fmx::ptrtype sessionId, fmx::ptrtype fileId) {
  m_udtEnv.SetIdentity(sessionId, fileId);
}

fmx::errcode FmxTestHost::SetToCurrentEnv(fmx::ExprEnv& env) {
  ++m_intCurrentEnvRequests;
  if (m_shtCurrentEnvError != 0) return m_shtCurrentEnvError;
  env = m_udtEnv;
  return fmx::kNoErr;
}

// --- Memory handles ------------------------------------------------------------------------------

char** FmxTestHost::NewHandle(std::string const& bytes) {
  std::unique_ptr<stcHandle> block(new stcHandle);
  block->lngSize = fmx::int32(bytes.size());
  block->ptrBytes = static_cast<char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (!block->ptrBytes) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(block->ptrBytes, bytes.data(), bytes.size());
  char** handle = &block->ptrBytes;
  m_mapHandles[handle] = std::move(block);
  return handle;
}

std::string FmxTestHost::HandleBytes(char** handle) const {
  auto found = m_mapHandles.find(handle);
  if (found == m_mapHandles.end()) return std::string();
  return std::string(found->second->ptrBytes, size_t(found->second->lngSize));
}

void FmxTestHost::SetHandleSize(char** handle, fmx::int32 size) {
  auto found = m_mapHandles.find(handle);
  if (found == m_mapHandles.end()) {
    m_shtMemoryError = kNilHandleErr;
    return;
  }
  if (m_shtFailResize != 0 || size < 0) {
    m_shtMemoryError = m_shtFailResize != 0 ? m_shtFailResize : kMemFullErr;
    m_shtFailResize = 0;
    return;
  }
  char* bytes = static_cast<char*>(std::realloc(found->second->ptrBytes, size == 0 ? 1 : size_t(size)));
  if (!bytes) {
    m_shtMemoryError = kMemFullErr;
    return;
  }
  found->second->ptrBytes = bytes;
  found->second->lngSize = size;
  m_shtMemoryError = 0;
}

fmx::int32 FmxTestHost::GetHandleSize(char** handle) {
  auto found = m_mapHandles.find(handle);
  m_shtMemoryError = found == m_mapHandles.end() ? kNilHandleErr : 0;
  return found == m_mapHandles.end() ? 0 : found->second->lngSize;
}

void FmxTestHost::LockHandle(char** handle) {
  m_shtMemoryError = m_mapHandles.count(handle) ? 0 : kNilHandleErr;
}

void FmxTestHost::UnlockHandle(char** handle) {
  m_shtMemoryError = m_mapHandles.count(handle) ? 0 : kNilHandleErr;
}

// --- Value helpers -------------------------------------------------------------------------------

void FmxTestHost::SetText(fmx::Text& text, std::string const& utf8) {
  text.AssignWithLength(utf8.data(), fmx::uint32(utf8.size()), fmx::Text::kEncoding_UTF8);
}

std::string FmxTestHost::ToUTF8(fmx::Text const& text) {
  // At most four bytes per unit, plus the terminating byte.
  std::vector<char> buffer(size_t(text.GetSize()) * 4 + 1);
  text.GetBytes(buffer.data(), fmx::uint32(buffer.size()), 0, fmx::Text::kSize_End, fmx::Text::kEncoding_UTF8);
  return std::string(buffer.data());
}

fmx::Data FmxTestHost::TextData(std::string const& utf8, fmx::int32 nativeType) {
  fmx::Text text;
  SetText(text, utf8);
  fmx::Data data;
  data.SetAsText(text, fmx::Locale(fmx::Locale::kType_Current), nativeType);
  return data;
}

fmx::Data FmxTestHost::NumberData(double value) {
  fmx::FixPt number;
  number.AssignDouble(value);
  fmx::Data data;
  data.SetAsNumber(number);
  return data;
}

fmx::Data FmxTestHost::ContainerData(std::vector<std::pair<std::string, std::string>> const& typedStreams) {
  fmx::BinaryData binary;
  for (auto const& stream : typedStreams) {
    std::string type = (stream.first + "    ").substr(0, 4);
    binary.Add(fmx::QuadChar(type[0], type[1], type[2], type[3]), fmx::uint32(stream.second.size()),
               stream.second.data());
  }
  fmx::Data data;
  data.SetBinaryData(binary, true);
  return data;
}
