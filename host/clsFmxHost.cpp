// clsFmxHost: the host model. Records what the plug-in asks of the host and answers from what
// its user configured; handles are malloc'ed blocks whose size the host remembers.
#include "host/clsFmxHost.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>

namespace {

// Memory Manager result codes the handle services report.
const fmx::errcode kMemFullErr = -108;
const fmx::errcode kNilHandleErr = -109;

std::string Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(std::string const& text) {
  size_t const first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Reads "Name ( ... )" at the start of text: true with the trimmed inside when text is exactly
// that call of the name (any letter case).
bool CallOf(std::string const& text, char const* name, std::string* inside) {
  size_t const length = std::strlen(name);
  if (Upper(text.substr(0, length)) != Upper(name)) return false;
  std::string rest = Trim(text.substr(length));
  if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')') return false;
  *inside = Trim(rest.substr(1, rest.size() - 2));
  return true;
}

// The text of a quoted calculation text, with \" and \\ undone; false when it is no such text.
bool Unquote(std::string const& quoted, std::string* text) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
  text->clear();
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == '\\' && i + 2 < quoted.size()) {
      c = quoted[++i];
    } else if (c == '"') {
      return false;
    }
    text->push_back(c);
  }
  return true;
}

std::u16string UTF16(std::string const& utf8) {
  fmx::Text text;
  text.AssignWithLength(utf8.data(), fmx::uint32(utf8.size()), fmx::Text::kEncoding_UTF8);
  std::u16string units(text.GetSize(), u'\0');
  if (!units.empty()) text.GetUnicode(reinterpret_cast<fmx::unichar16*>(&units[0]), 0, text.GetSize());
  return units;
}

// One text of a 'FNAM' stream: its length in units, then its units in the Standard Compression
// Scheme for Unicode (single-byte mode: plain characters as bytes, every other unit quoted), each
// byte masked with 0x1D.
bool AppendReferenceText(std::string& stream, std::u16string const& units) {
  if (units.size() > 255) return false;
  stream.push_back(char(units.size()));
  auto put = [&stream](unsigned byte) { stream.push_back(char((byte & 0xFF) ^ 0x1D)); };
  for (char16_t unit : units) {
    if (unit == 0 || unit == 9 || unit == 10 || unit == 13 || (unit >= 0x20 && unit <= 0x7F)) {
      put(unit);
    } else {
      put(0x0E);
      put(unit >> 8);
      put(unit);
    }
  }
  return true;
}

}  // namespace

clsFmxHost::clsFmxHost() : m_udtPrevious(fmx::InstallHostServices(this)) {
  fmx::InitExternCallStruct(m_udtBlock);
  m_udtEnv.SetIdentity(1, 1);
}

clsFmxHost::~clsFmxHost() {
  fmx::InstallHostServices(m_udtPrevious);
  for (auto& entry : m_mapHandles) std::free(entry.second->ptrBytes);
}

// --- Entry point and call block ----------------------------------------------------------------

FMX_IntPtr clsFmxHost::Call(fmx::uchar whichCall, fmx::uchar parm1, FMX_IntPtr parm2, FMX_IntPtr parm3,
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

FMX_IntPtr clsFmxHost::Init(fmx::int16 apiVersion, fmx::uchar appType, std::string const& versionText) {
  fmx::Text text;
  SetText(text, versionText);
  m_ustrVersionText.assign(text.GetSize() + 1, u'\0');
  text.GetUnicode(reinterpret_cast<fmx::unichar16*>(&m_ustrVersionText[0]), 0, text.GetSize());
  m_shtApiVersion = apiVersion;
  return Call(kFMXT_Init, appType, reinterpret_cast<FMX_IntPtr>(m_ustrVersionText.data()));
}

void clsFmxHost::Idle(fmx::uchar level) { Call(kFMXT_Idle, level); }

void clsFmxHost::Shutdown() { Call(kFMXT_Shutdown); }

void clsFmxHost::AppPreferences() {
  Call(kFMXT_DoAppPreferences);
}

std::string clsFmxHost::GetString(fmx::uchar stringId) {
  // Generous and zeroed, so that whatever the plug-in writes ends in a 0 unit.
  m_lstStringBuffer.assign(1024, 0);
  Call(kFMXT_GetString, stringId, 0, FMX_IntPtr(m_lstStringBuffer.size() - 1),
       reinterpret_cast<FMX_IntPtr>(m_lstStringBuffer.data()));
  fmx::Text text;
  text.AssignUnicode(m_lstStringBuffer.data());
  return ToUTF8(text);
}

void clsFmxHost::External(fmx::int32 functionNumber, char** parameterHandle, char** resultHandle) {
  Call(kFMXT_External, 0, FMX_IntPtr(functionNumber),
       reinterpret_cast<FMX_IntPtr>(parameterHandle), reinterpret_cast<FMX_IntPtr>(resultHandle));
}

// --- Registered functions ------------------------------------------------------------------------

clsFmxHost::stcFunction const* clsFmxHost::FindFunction(fmx::int16 functionId) const {
  for (auto const& function : m_lstFunctions)
    if (function.functionId == functionId) return &function;
  return nullptr;
}

void clsFmxHost::RefuseRegistration(fmx::int16 functionId, fmx::errcode code) {
  if (code == 0)
    m_mapRefused.erase(functionId);
  else
    m_mapRefused[functionId] = code;
}

fmx::errcode clsFmxHost::CallFunction(fmx::int16 functionId, fmx::DataVect const& parms, fmx::Data& result) {
  stcFunction const* function = FindFunction(functionId);
  if (!function) return fmx::kErrNotFound;
  long count = long(parms.Size());
  if (count < function->minArgs || (function->maxArgs >= 0 && count > function->maxArgs)) return fmx::kErrBadArgument;
  return function->callback(functionId, m_udtEnv, parms, result);
}

clsFmxHost::stcFunction const* clsFmxHost::FindFunctionByName(std::string const& name) const {
  std::string const wanted = Upper(name);
  for (auto const& function : m_lstFunctions)
    if (Upper(function.name) == wanted) return &function;
  return nullptr;
}

fmx::errcode clsFmxHost::CallFunctionWith(fmx::int16 functionId, std::vector<fmx::Data> const& parms,
                                           fmx::Data& result) {
  fmx::DataVect vect;
  for (auto const& parm : parms) vect.PushBack(parm);
  return CallFunction(functionId, vect, result);
}

fmx::errcode clsFmxHost::RegisterExternalFunction(fmx::QuadChar const& pluginId, fmx::int16 functionId,
                                                   fmx::Text const& name, fmx::Text const& prototype,
                                                   fmx::int16 minArgs, fmx::int16 maxArgs, fmx::uint32 flags,
                                                   fmx::ExtPluginType callback) {
  MaybeThrow(kCallRegister);
  auto refused = m_mapRefused.find(functionId);
  if (refused != m_mapRefused.end()) return refused->second;
  if (FindFunction(functionId)) return fmx::kErrDuplicate;
  m_lstFunctions.push_back(
      stcFunction{pluginId, functionId, ToUTF8(name), ToUTF8(prototype), minArgs, maxArgs, flags, callback});
  return fmx::kNoErr;
}

fmx::errcode clsFmxHost::UnRegisterExternalFunction(fmx::QuadChar const& pluginId, fmx::int16 functionId) {
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

void clsFmxHost::SetEvaluateResult(std::string const& expression, std::string const& text) {
  m_mapEvaluate[expression] = TextData(text);
}

void clsFmxHost::SetEvaluateResult(std::string const& expression, fmx::Data const& value) {
  m_mapEvaluate[expression] = value;
}

void clsFmxHost::SetField(std::string const& name, fmx::Data const& value) {
  std::string key = Upper(Trim(name));
  if (key.find("::") == std::string::npos) key = Upper(m_strLayoutTable) + "::" + key;
  m_mapFields[key] = value;
}

void clsFmxHost::SetVariable(std::string const& name, fmx::Data const& value) {
  std::string const key = Upper(Trim(name));
  m_mapVariables[key.empty() || key[0] == '$' ? key : "$" + key] = value;
}

fmx::errcode clsFmxHost::Evaluate(fmx::ExprEnv const&, fmx::Text const& expression, fmx::Data& result) {
  MaybeThrow(kCallEvaluate);
  std::string text = ToUTF8(expression);
  m_lstEvaluated.push_back(text);
  if (m_shtEvaluateError != 0) return m_shtEvaluateError;
  auto found = m_mapEvaluate.find(text);
  if (found == m_mapEvaluate.end()) return EvaluateModel(text, result);
  result = found->second;
  return fmx::kNoErr;
}

fmx::errcode clsFmxHost::EvaluateModel(std::string const& expression, fmx::Data& result) const {
  std::string const text = Trim(expression);
  std::string inside;
  if (!text.empty() && text[0] == '$') {
    if (text.find_first_of(" \t\r\n()\";") != std::string::npos) return kErrUnknownExpression;
    auto found = m_mapVariables.find(Upper(text));
    // A variable never set is empty.
    result = found == m_mapVariables.end() ? TextData("") : found->second;
    return fmx::kNoErr;
  }
  if (CallOf(text, "GetField", &inside)) {
    std::string name;
    if (!Unquote(inside, &name)) return kErrUnknownExpression;
    std::string key = Upper(Trim(name));
    if (key.find("::") == std::string::npos) key = Upper(m_strLayoutTable) + "::" + key;
    auto found = m_mapFields.find(key);
    if (found == m_mapFields.end()) return kErrFieldMissing;
    result = found->second;
    return fmx::kNoErr;
  }
  if (CallOf(text, "Get", &inside)) {
    std::string const what = Upper(inside);
    fmx::DateTime now;
    now.SetNow();
    if (what == "LAYOUTTABLENAME") {
      result = TextData(m_strLayoutTable);
    } else if (what == "CURRENTDATE") {
      result.SetAsDate(now);
    } else if (what == "CURRENTTIME") {
      result.SetAsTime(now);
    } else if (what == "USERNAME") {
      result = TextData(m_strUserName);
    } else if (what == "RECORDNUMBER") {
      result = NumberData(1);
    } else {
      return kErrUnknownExpression;
    }
    return fmx::kNoErr;
  }
  return kErrUnknownExpression;
}

void clsFmxHost::SetSQLAnswer(fmx::errcode code, std::string const& resultText) {
  m_shtSQLError = code;
  m_strSQLResult = resultText;
}

fmx::errcode clsFmxHost::ExecuteSQL(fmx::ExprEnv const&, fmx::Text const& expression, fmx::Data& result,
                                     fmx::uint16 colSep, fmx::uint16 rowSep) {
  MaybeThrow(kCallExecuteSQL);
  m_lstSQL.push_back(stcSQLRequest{ToUTF8(expression), colSep, rowSep});
  if (m_shtSQLError != 0) return m_shtSQLError;
  result = TextData(m_strSQLResult);
  return fmx::kNoErr;
}

fmx::errcode clsFmxHost::StartScript(fmx::Text const& fileName, fmx::Text const& scriptName, fmx::uchar control,
                                      fmx::Data const* parameter) {
  MaybeThrow(kCallStartScript);
  m_lstScripts.push_back(stcScriptRequest{ToUTF8(fileName), ToUTF8(scriptName), control, parameter != nullptr,
                                          parameter ? TextOf(*parameter) : std::string()});
  return m_shtScriptError;
}

void clsFmxHost::SetEnvironmentIdentity(fmx::ptrtype sessionId, fmx::ptrtype fileId) {
  m_udtEnv.SetIdentity(sessionId, fileId);
}

fmx::errcode clsFmxHost::SetToCurrentEnv(fmx::ExprEnv& env) {
  MaybeThrow(kCallCurrentEnv);
  ++m_intCurrentEnvRequests;
  if (m_shtCurrentEnvError != 0) return m_shtCurrentEnvError;
  env = m_udtEnv;
  return fmx::kNoErr;
}

// --- Memory handles ------------------------------------------------------------------------------

char** clsFmxHost::NewHandle(std::string const& bytes) {
  std::unique_ptr<stcHandle> block(new stcHandle);
  block->lngSize = fmx::int32(bytes.size());
  block->ptrBytes = static_cast<char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (!block->ptrBytes) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(block->ptrBytes, bytes.data(), bytes.size());
  char** handle = &block->ptrBytes;
  m_mapHandles[handle] = std::move(block);
  return handle;
}

void clsFmxHost::DisposeHandle(char** handle) {
  auto found = m_mapHandles.find(handle);
  if (found == m_mapHandles.end()) return;
  std::free(found->second->ptrBytes);
  m_mapHandles.erase(found);
}

std::string clsFmxHost::HandleBytes(char** handle) const {
  auto found = m_mapHandles.find(handle);
  if (found == m_mapHandles.end()) return std::string();
  return std::string(found->second->ptrBytes, size_t(found->second->lngSize));
}

void clsFmxHost::SetHandleSize(char** handle, fmx::int32 size) {
  MaybeThrow(kCallHandle);
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

fmx::int32 clsFmxHost::GetHandleSize(char** handle) {
  MaybeThrow(kCallHandle);
  auto found = m_mapHandles.find(handle);
  m_shtMemoryError = found == m_mapHandles.end() ? kNilHandleErr : 0;
  return found == m_mapHandles.end() ? 0 : found->second->lngSize;
}

void clsFmxHost::LockHandle(char** handle) {
  MaybeThrow(kCallHandle);
  m_shtMemoryError = m_mapHandles.count(handle) ? 0 : kNilHandleErr;
}

void clsFmxHost::UnlockHandle(char** handle) {
  m_shtMemoryError = m_mapHandles.count(handle) ? 0 : kNilHandleErr;
}

// --- Value helpers -------------------------------------------------------------------------------

void clsFmxHost::SetText(fmx::Text& text, std::string const& utf8) {
  text.AssignWithLength(utf8.data(), fmx::uint32(utf8.size()), fmx::Text::kEncoding_UTF8);
}

std::string clsFmxHost::ToUTF8(fmx::Text const& text) {
  // At most four bytes per unit, plus the terminating byte.
  std::vector<char> buffer(size_t(text.GetSize()) * 4 + 1);
  text.GetBytes(buffer.data(), fmx::uint32(buffer.size()), 0, fmx::Text::kSize_End, fmx::Text::kEncoding_UTF8);
  return std::string(buffer.data());
}

fmx::Data clsFmxHost::TextData(std::string const& utf8, fmx::int32 nativeType) {
  fmx::Text text;
  SetText(text, utf8);
  fmx::Data data;
  data.SetAsText(text, fmx::Locale(fmx::Locale::kType_Current), nativeType);
  return data;
}

fmx::Data clsFmxHost::NumberData(double value) {
  fmx::FixPt number;
  number.AssignDouble(value);
  fmx::Data data;
  data.SetAsNumber(number);
  return data;
}

fmx::Data clsFmxHost::ContainerData(std::vector<std::pair<std::string, std::string>> const& typedStreams) {
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

bool clsFmxHost::FileContainerData(std::string const& path, fmx::Data* value, std::string* error) {
  if (path.empty()) {
    *error = "cannot read a container's file: no file is named";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  size_t const slash = path.rfind('/');
  std::string const name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  std::u16string folderUnits = UTF16(folder);
  for (char16_t& unit : folderUnits)
    if (unit == u'/') unit = 0xE000;

  std::string reference("\0\0\0\1", 4);
  if (!AppendReferenceText(reference, UTF16("filemac")) || !AppendReferenceText(reference, folderUnits) ||
      !AppendReferenceText(reference, UTF16(name))) {
    *error = "the file's name or folder is too long for a container reference: " + path;
    return false;
  }
  std::string const extension = Upper(name.substr(name.rfind('.') == std::string::npos ? name.size() : name.rfind('.')));
  char const* type = "FILE";
  if (extension == ".PNG") type = "PNGf";
  else if (extension == ".GIF") type = "GIFf";
  else if (extension == ".JPG" || extension == ".JPEG") type = "JPEG";
  *value = ContainerData({{type, bytes}, {"FNAM", reference}});
  return true;
}

void clsFmxHost::ThrowOnNextCall(enumHostCall call) { m_intThrowOn = call; }

void clsFmxHost::MaybeThrow(enumHostCall call) {
  if (m_intThrowOn != call) return;
  m_intThrowOn = -1;
  throw std::runtime_error("host call failed");
}
