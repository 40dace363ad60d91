// clsFmxHost: the host application's model, in-process: what velmora-host and the tests put in
// the host's place. Constructing one installs it as the SDK's host (fmx::InstallHostServices);
// destroying it restores the host installed before.
// It builds the call block for the plug-in's entry point and calls it; records function
// registrations and calls the registered functions with parameters as the host does (by id, or
// by name in any case); evaluates calculations from a table a test fills, else from its data
// model: fields (GetField("Table::Name"), unqualified names in the layout's table), variables
// ("$name"), Get(LayoutTableName), Get(CurrentDate), Get(CurrentTime), Get(UserName),
// Get(RecordNumber); records SQL and script requests; lends an environment through the call
// block's current-environment callback; keeps memory handles for the handle services; and makes
// container values from files as the host does when a file is inserted (a 'FNAM' reference
// stream and the data stream).
// Relies on the SDK stand-in only (platform/fmx). Nothing throws except std::bad_alloc and the
// fault a caller asks for (ThrowOnNextCall); the call block it hands the entry point stays valid
// for the host's lifetime.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/fmx/FMWrapper.h"

class clsFmxHost : public fmx::HostServices {
 public:
  struct stcFunction {
    fmx::QuadChar pluginId;
    fmx::int16 functionId;
    std::string name;       // UTF-8
    std::string prototype;  // UTF-8
    fmx::int16 minArgs;
    fmx::int16 maxArgs;  // -1: no upper bound
    fmx::uint32 flags;
    fmx::ExtPluginType callback;
  };
  struct stcSQLRequest {
    std::string statement;
    fmx::uint16 colSep;
    fmx::uint16 rowSep;
  };
  struct stcScriptRequest {
    std::string fileName;
    std::string scriptName;
    fmx::uchar control;
    bool hasParameter;
    std::string parameter;  // the parameter's text when there is one
  };

  // The answer of an Evaluate of a calculation the host cannot evaluate, and of a field that
  // does not exist.
  static constexpr fmx::errcode kErrUnknownExpression = 1207;
  static constexpr fmx::errcode kErrFieldMissing = 102;

  // Host services that ThrowOnNextCall can make throw.
  enum enumHostCall : int {
    kCallEvaluate,
    kCallExecuteSQL,
    kCallRegister,
    kCallStartScript,
    kCallCurrentEnv,
    kCallHandle  // any of the handle services
  };

  clsFmxHost();
  ~clsFmxHost() override;
  clsFmxHost(clsFmxHost const&) = delete;
  clsFmxHost& operator=(clsFmxHost const&) = delete;

  // --- Entry point and call block ------------------------------------------------------------
  void SetEntryPoint(FMX_ExternCallProc entryPoint) { m_procEntry = entryPoint; }
  void SetResourceID(fmx::int16 resourceId) { m_shtResourceID = resourceId; }
  // The API version the block carries (51 until Init or this sets another).
  void SetApiVersion(fmx::int16 apiVersion) { m_shtApiVersion = apiVersion; }
  // Fills the block (keeping its callbacks) and calls the entry point; returns the result field.
  // Without an entry point nothing is called and 0 is returned.
  FMX_IntPtr Call(fmx::uchar whichCall, fmx::uchar parm1 = 0, FMX_IntPtr parm2 = 0, FMX_IntPtr parm3 = 0,
                  FMX_IntPtr result = 0);
  // Init with an API version, application type (0-2 client, 3 and up server) and version text.
  FMX_IntPtr Init(fmx::int16 apiVersion = 51, fmx::uchar appType = 1, std::string const& versionText = "12.0v5");
  void Idle(fmx::uchar level = 0);
  void Shutdown();
  void AppPreferences();
  // The text the plug-in writes for a string id (UTF-8); empty when it writes nothing.
  std::string GetString(fmx::uchar stringId);
  void External(fmx::int32 functionNumber, char** parameterHandle, char** resultHandle);
  FMX_ExternCallStruct& CallBlock() { return m_udtBlock; }

  // --- Registered functions -----------------------------------------------------------------
  std::vector<stcFunction> const& Functions() const { return m_lstFunctions; }
  stcFunction const* FindFunction(fmx::int16 functionId) const;
  // Every unregistration asked for, in order, whether or not the id was registered.
  std::vector<fmx::int16> const& UnregisterRequests() const { return m_lstUnregistered; }
  // Makes registering this id fail with the code (0 accepts it again).
  void RefuseRegistration(fmx::int16 functionId, fmx::errcode code);
  // Calls a registered function as the host does: kErrNotFound for an unknown id, kErrBadArgument
  // when the parameter count is outside its minimum and maximum, else the callback's answer.
  fmx::errcode CallFunction(fmx::int16 functionId, fmx::DataVect const& parms, fmx::Data& result);
  // The same with the parameters in a vector: CallFunctionWith(20, {TextData("a@b.c"), TextData("Hi")}, result).
  fmx::errcode CallFunctionWith(fmx::int16 functionId, std::vector<fmx::Data> const& parms, fmx::Data& result);
  // The function registered under this name, compared in any letter case; null when none is.
  stcFunction const* FindFunctionByName(std::string const& name) const;

  // --- Calculation engine -------------------------------------------------------------------
  void SetEvaluateResult(std::string const& expression, std::string const& text);
  void SetEvaluateResult(std::string const& expression, fmx::Data const& value);
  // Non-zero: every evaluation fails with it.
  void SetEvaluateError(fmx::errcode code) { m_shtEvaluateError = code; }
  std::vector<std::string> const& EvaluateRequests() const { return m_lstEvaluated; }
  // The data model behind calculations not in the table. Field names are "Table::Name" or, for
  // the layout's table, just the name; variable names begin with "$". Names compare in any case.
  void SetField(std::string const& name, fmx::Data const& value);
  void SetVariable(std::string const& name, fmx::Data const& value);
  void SetLayoutTable(std::string const& table) { m_strLayoutTable = table; }
  void SetUserName(std::string const& name) { m_strUserName = name; }

  void SetSQLAnswer(fmx::errcode code, std::string const& resultText = std::string());
  std::vector<stcSQLRequest> const& SQLRequests() const { return m_lstSQL; }

  void SetStartScriptError(fmx::errcode code) { m_shtScriptError = code; }
  std::vector<stcScriptRequest> const& ScriptRequests() const { return m_lstScripts; }

  // The answer of the current-environment callback and the identity of the environment it lends.
  void SetCurrentEnvError(fmx::errcode code) { m_shtCurrentEnvError = code; }
  void SetEnvironmentIdentity(fmx::ptrtype sessionId, fmx::ptrtype fileId);
  int CurrentEnvRequests() const { return m_intCurrentEnvRequests; }
  fmx::ExprEnv const& Environment() const { return m_udtEnv; }

  // --- Memory handles -----------------------------------------------------------------------
  // A handle holding the bytes; the host frees it when it is destroyed.
  char** NewHandle(std::string const& bytes = std::string());
  std::string HandleBytes(char** handle) const;
  // Frees a handle now; unknown handles are ignored.
  void DisposeHandle(char** handle);
  // Non-zero: the next resize fails with it and leaves the handle as it was.
  void FailNextResize(fmx::errcode code) { m_shtFailResize = code; }

  // --- Faults -------------------------------------------------------------------------------
  // The next call of that service throws std::runtime_error (as a host in trouble might).
  void ThrowOnNextCall(enumHostCall call);

  // --- Value helpers ------------------------------------------------------------------------
  static fmx::Data TextData(std::string const& utf8, fmx::int32 nativeType = fmx::Data::kDTText);
  static fmx::Data NumberData(double value);
  static fmx::Data ContainerData(std::vector<std::pair<std::string, std::string>> const& typedStreams);
  // The container the host makes when the file at the path is inserted: the 'FNAM' reference
  // (kind "filemac", the folder with '/' at its end, the file name) and the data stream, 'PNGf',
  // 'GIFf' or 'JPEG' for pictures by extension, else 'FILE'. False, with *error set, when the
  // file cannot be read or its name does not fit the reference (more than 255 units).
  static bool FileContainerData(std::string const& path, fmx::Data* value, std::string* error);
  static std::string ToUTF8(fmx::Text const& text);
  static std::string TextOf(fmx::Data const& data) { return ToUTF8(data.GetAsText()); }
  static void SetText(fmx::Text& text, std::string const& utf8);

  // --- fmx::HostServices ----------------------------------------------------------------------
  fmx::errcode Evaluate(fmx::ExprEnv const& env, fmx::Text const& expression, fmx::Data& result) override;
  fmx::errcode ExecuteSQL(fmx::ExprEnv const& env, fmx::Text const& expression, fmx::Data& result,
                          fmx::uint16 colSep, fmx::uint16 rowSep) override;
  fmx::errcode RegisterExternalFunction(fmx::QuadChar const& pluginId, fmx::int16 functionId, fmx::Text const& name,
                                        fmx::Text const& prototype, fmx::int16 minArgs, fmx::int16 maxArgs,
                                        fmx::uint32 flags, fmx::ExtPluginType callback) override;
  fmx::errcode UnRegisterExternalFunction(fmx::QuadChar const& pluginId, fmx::int16 functionId) override;
  fmx::errcode StartScript(fmx::Text const& fileName, fmx::Text const& scriptName, fmx::uchar control,
                           fmx::Data const* parameter) override;
  fmx::errcode SetToCurrentEnv(fmx::ExprEnv& env) override;
  void SetHandleSize(char** handle, fmx::int32 size) override;
  fmx::int32 GetHandleSize(char** handle) override;
  void LockHandle(char** handle) override;
  void UnlockHandle(char** handle) override;
  fmx::errcode MemoryError() override { return m_shtMemoryError; }

 private:
  struct stcHandle {
    char* ptrBytes = nullptr;
    fmx::int32 lngSize = 0;
  };

  fmx::HostServices* m_udtPrevious;
  FMX_ExternCallProc m_procEntry = nullptr;
  FMX_ExternCallStruct m_udtBlock;
  fmx::int16 m_shtResourceID = 1;
  fmx::int16 m_shtApiVersion = 51;
  std::u16string m_ustrVersionText;
  std::vector<fmx::unichar16> m_lstStringBuffer;

  std::vector<stcFunction> m_lstFunctions;
  std::vector<fmx::int16> m_lstUnregistered;
  std::map<fmx::int16, fmx::errcode> m_mapRefused;

  // Throws when the service was named by ThrowOnNextCall, once.
  void MaybeThrow(enumHostCall call);
  // The data model's answer to an expression.
  fmx::errcode EvaluateModel(std::string const& expression, fmx::Data& result) const;

  std::map<std::string, fmx::Data> m_mapEvaluate;
  std::map<std::string, fmx::Data> m_mapFields;     // upper-cased "TABLE::NAME"
  std::map<std::string, fmx::Data> m_mapVariables;  // upper-cased "$NAME"
  std::string m_strLayoutTable;
  std::string m_strUserName;
  int m_intThrowOn = -1;
  fmx::errcode m_shtEvaluateError = 0;
  std::vector<std::string> m_lstEvaluated;

  fmx::errcode m_shtSQLError = 0;
  std::string m_strSQLResult;
  std::vector<stcSQLRequest> m_lstSQL;

  fmx::errcode m_shtScriptError = 0;
  std::vector<stcScriptRequest> m_lstScripts;

  fmx::errcode m_shtCurrentEnvError = 0;
  int m_intCurrentEnvRequests = 0;
  fmx::ExprEnv m_udtEnv;

  std::map<char**, std::unique_ptr<stcHandle>> m_mapHandles;
  fmx::errcode m_shtFailResize = 0;
  fmx::errcode m_shtMemoryError = 0;
};
