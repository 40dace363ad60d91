// velmora-host: runs the plug-in as the host application does, from the command line.
// It opens the bundle's resource file, loads the bundle's library, asks it for its name, starts
// it (Init), then calls calculation functions written as in a host calculation, given on the
// command line or one a line in a --script file, idling the plug-in between calls, and shuts it
// down. Each result is printed on its own line (the host's line separator CR shown as a line
// end). --field, --container, --var and --layout-table fill the record, the variables and the
// layout that the plug-in's calculations see. The plug-in's modal dialogs take what the person
// does from a --dialogs file (host/HostDialogs.h); without an answer a dialog is cancelled and
// described on stderr. --progress prints what the progress window shows, on stderr.
// --file-functions MASK offers the File_* functions of the mask after Init (the plug-in itself
// offers none) through the bundle's VelmoraOfferFileFunctions.
// Exit status: 0 when every call answered without "ERROR:", 1 when a result began with
// "ERROR:", a call could not be made or a dialog answer could not be carried out, 2 when the
// bundle could not be loaded or started, 64 when the command line was wrong (an unknown option, a
// missing value, a file it names that cannot be read).
// The preference folder is $XDG_CONFIG_HOME (else ~/.config), the temporary folder $TMPDIR (else
// /tmp), as the platform stand-ins find them.
// Relies on the host model (host/clsFmxHost.h), the call parser and the platform stand-ins'
// resource files; the plug-in is reached only through its entry point and registered callbacks.
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/HostCallParser.h"
#include "host/HostDialogs.h"
#include "host/HostProgress.h"
#include "host/clsFmxHost.h"
#include "platform/carbon/Resources.h"

namespace {

int const kExitOK = 0;
int const kExitCallFailed = 1;
int const kExitNotLoaded = 2;
int const kExitUsage = 64;

struct stcOptions {
  std::string m_strBundle = VELMORA_DEFAULT_BUNDLE_DIR;
  int m_intAppType = 1;
  int m_intApiVersion = 51;
  std::vector<std::string> m_vecCalls;
  std::vector<std::pair<std::string, std::string>> m_vecFields;
  std::vector<std::pair<std::string, std::string>> m_vecContainers;
  std::vector<std::pair<std::string, std::string>> m_vecVariables;
  std::string m_strLayoutTable;
  stcDialogAnswers m_udtDialogs;
  bool m_bolProgress = false;
  bool m_bolFileFunctions = false;
  unsigned long m_ulngFileFunctions = 0;
};

char const kUsage[] =
    "usage: velmora-host [options] [call ...]\n"
    "  call                  a function call as in a host calculation, e.g.\n"
    "                        'Velmora_SendMessage( \"a@example.test\" ; \"Hi\" ; \"line 1\xC2\xB6line 2\" )'\n"
    "  --script FILE         calls one a line (blank lines and lines beginning with '#' skipped)\n"
    "  --bundle DIR          the plug-in's bundle folder (default: the build's)\n"
    "  --app-type N          host application type told at start-up (default 1; 3 and up: server)\n"
    "  --api-version N       host plug-in API version told at start-up (default 51)\n"
    "  --field NAME=VALUE    a field of the current record (Table::Field, or a field of the layout's\n"
    "                        table); \xC2\xB6 in VALUE separates lines\n"
    "  --container NAME=FILE a container field holding FILE, embedded\n"
    "  --var $NAME=VALUE     a variable\n"
    "  --layout-table NAME   the table of the current layout\n"
    "  --dialogs FILE        what to do in the modal dialogs, in the order they show:\n"
    "                        'dialog' starts the next dialog's answer, then one action a line:\n"
    "                        click ID [ITEM], row ID ROW, double-click ID ROW, type TEXT,\n"
    "                        key Return|Enter|Escape|Tab|Backspace|CODE, pick TEXT, close;\n"
    "                        'file PATH' / 'file' answer the next file dialog (choose / cancel).\n"
    "                        A dialog without an answer is cancelled and described on stderr\n"
    "  --progress            print what the progress window shows, on stderr\n"
    "  --file-functions MASK offer the File_* functions of MASK (e.g. 0x3FFF for all) once the\n"
    "                        plug-in has started (it offers none by itself)\n"
    "A parameter is a quoted text, a number, True, False, Container( \"FILE\" ), a field\n"
    "(Table::Field, from --field or --container) or a $variable (from --var).\n"
    "Exit status: 0 all calls answered; 1 a result began with ERROR:, a call could not be made or a\n"
    "dialog answer could not be carried out; 2 the plug-in could not be loaded or started; 64 the\n"
    "command line was wrong.\n";

std::string Pilcrows(std::string text) {
  for (size_t at = text.find("\xC2\xB6"); at != std::string::npos; at = text.find("\xC2\xB6", at))
    text.replace(at, 2, "\r");
  return text;
}

bool SplitAssignment(std::string const& text, std::pair<std::string, std::string>* pair) {
  size_t const equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  *pair = {text.substr(0, equals), text.substr(equals + 1)};
  return true;
}

bool ReadScript(std::string const& path, std::vector<std::string>* calls) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t const first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    calls->push_back(line);
  }
  return !in.bad();
}

bool ParseNumber(char const* text, int* value) {
  char* end = nullptr;
  long const number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0') return false;
  *value = int(number);
  return true;
}

// False, with the reason on stderr, when the command line is wrong.
bool ParseOptions(int argc, char** argv, stcOptions* options) {
  for (int i = 1; i < argc; ++i) {
    std::string const arg = argv[i];
    auto value = [&](char const* what) -> char const* {
      if (i + 1 >= argc) {
        std::cerr << "velmora-host: " << arg << " needs " << what << "\n";
        return nullptr;
      }
      return argv[++i];
    };
    std::pair<std::string, std::string> pair;
    char const* v = nullptr;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(kExitOK);
    } else if (arg == "--bundle") {
      if (!(v = value("a folder"))) return false;
      options->m_strBundle = v;
    } else if (arg == "--script") {
      if (!(v = value("a file"))) return false;
      if (!ReadScript(v, &options->m_vecCalls)) {
        std::cerr << "velmora-host: cannot read the script " << v << "\n";
        return false;
      }
    } else if (arg == "--app-type" || arg == "--api-version") {
      if (!(v = value("a number"))) return false;
      if (!ParseNumber(v, arg == "--app-type" ? &options->m_intAppType : &options->m_intApiVersion)) {
        std::cerr << "velmora-host: " << arg << " needs a number, not " << v << "\n";
        return false;
      }
    } else if (arg == "--field" || arg == "--container" || arg == "--var") {
      if (!(v = value("NAME=VALUE"))) return false;
      if (!SplitAssignment(v, &pair)) {
        std::cerr << "velmora-host: " << arg << " needs NAME=VALUE, not " << v << "\n";
        return false;
      }
      (arg == "--field" ? options->m_vecFields
                        : arg == "--container" ? options->m_vecContainers : options->m_vecVariables)
          .push_back(pair);
    } else if (arg == "--dialogs") {
      if (!(v = value("a file"))) return false;
      std::ifstream in(v, std::ios::binary);
      if (!in.is_open()) {
        std::cerr << "velmora-host: cannot read the dialog answers " << v << "\n";
        return false;
      }
      std::string const text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::string error;
      if (!ParseDialogAnswers(text, &options->m_udtDialogs, &error)) {
        std::cerr << "velmora-host: " << v << ": " << error << "\n";
        return false;
      }
    } else if (arg == "--file-functions") {
      if (!(v = value("a mask"))) return false;
      char* end = nullptr;
      options->m_ulngFileFunctions = std::strtoul(v, &end, 0);
      if (end == v || *end != '\0' || options->m_ulngFileFunctions > 0xFFFFFFFFul) {
        std::cerr << "velmora-host: --file-functions needs a number, not " << v << "\n";
        return false;
      }
      options->m_bolFileFunctions = true;
    } else if (arg == "--progress") {
      options->m_bolProgress = true;
    } else if (arg == "--layout-table") {
      if (!(v = value("a table name"))) return false;
      options->m_strLayoutTable = v;
    } else if (arg.compare(0, 2, "--") == 0) {
      std::cerr << "velmora-host: unknown option " << arg << "\n" << kUsage;
      return false;
    } else {
      options->m_vecCalls.push_back(arg);
    }
  }
  return true;
}

// A field or a variable passes what the record or the variables hold, as the host's calculation
// would: a field not in the record is an error, a variable never set is empty.
fmx::Data ParameterData(clsFmxHost& host, stcHostCallParameter const& parameter, std::string* error) {
  fmx::Data data;
  switch (parameter.m_enmKind) {
    case stcHostCallParameter::kField:
    case stcHostCallParameter::kVariable: {
      bool const field = parameter.m_enmKind == stcHostCallParameter::kField;
      fmx::TextAutoPtr expression;
      clsFmxHost::SetText(*expression, field ? "GetField(\"" + parameter.m_strText + "\")" : parameter.m_strText);
      if (host.Evaluate(host.Environment(), *expression, data) != 0)
        *error = "no field " + parameter.m_strText + " in the record (give it with --field or --container)";
      break;
    }
    case stcHostCallParameter::kText:
      data = clsFmxHost::TextData(parameter.m_strText);
      break;
    case stcHostCallParameter::kNumber:
      data = clsFmxHost::NumberData(parameter.m_dblNumber);
      break;
    case stcHostCallParameter::kBoolean:
      data.SetAsBoolean(parameter.m_bolValue);
      break;
    case stcHostCallParameter::kContainer:
      clsFmxHost::FileContainerData(parameter.m_strText, &data, error);
      break;
  }
  return data;
}

// Makes one call; false when it could not be made or its result began with "ERROR:".
bool RunCall(clsFmxHost& host, std::string const& text) {
  stcHostCall call;
  std::string error;
  if (!ParseHostCall(text, &call, &error)) {
    std::cerr << "velmora-host: cannot read the call " << text << ": " << error << "\n";
    return false;
  }
  clsFmxHost::stcFunction const* function = host.FindFunctionByName(call.m_strFunction);
  if (!function) {
    std::cerr << "velmora-host: no function " << call.m_strFunction << " is registered\n";
    return false;
  }
  fmx::DataVect parameters;
  for (stcHostCallParameter const& parameter : call.m_vecParameters) {
    parameters.PushBack(ParameterData(host, parameter, &error));
    if (!error.empty()) {
      std::cerr << "velmora-host: " << error << "\n";
      return false;
    }
  }
  fmx::Data result;
  fmx::errcode const code = host.CallFunction(function->functionId, parameters, result);
  if (code == fmx::kErrBadArgument) {
    auto count = [](int n) { return std::to_string(n) + (n == 1 ? " parameter" : " parameters"); };
    std::cerr << "velmora-host: " << function->name << " takes "
              << (function->maxArgs < 0              ? "at least " + count(function->minArgs)
                  : function->minArgs == function->maxArgs ? count(function->minArgs)
                                                       : std::to_string(function->minArgs) + " to " +
                                                             count(function->maxArgs))
              << ", not " << parameters.Size() << "\n";
    return false;
  }
  std::string output = clsFmxHost::TextOf(result);
  for (char& c : output)
    if (c == '\r') c = '\n';
  std::cout << output << std::endl;
  if (code != 0) {
    std::cerr << "velmora-host: " << function->name << " answered the host error " << code << "\n";
    return false;
  }
  return output.compare(0, 6, "ERROR:") != 0;
}

}  // namespace

int main(int argc, char** argv) {
  stcOptions options;
  if (!ParseOptions(argc, argv, &options)) return kExitUsage;

  clsHostDialogs dialogs(std::move(options.m_udtDialogs), std::cerr);
  std::unique_ptr<clsHostProgress> progress;
  if (options.m_bolProgress) progress.reset(new clsHostProgress(std::cerr, std::chrono::milliseconds(20)));

  clsFmxHost host;
  host.SetLayoutTable(options.m_strLayoutTable);
  for (auto const& field : options.m_vecFields) host.SetField(field.first, clsFmxHost::TextData(Pilcrows(field.second)));
  for (auto const& variable : options.m_vecVariables)
    host.SetVariable(variable.first, clsFmxHost::TextData(Pilcrows(variable.second)));
  for (auto const& container : options.m_vecContainers) {
    fmx::Data value;
    std::string error;
    if (!clsFmxHost::FileContainerData(container.second, &value, &error)) {
      std::cerr << "velmora-host: --container " << container.first << ": " << error << "\n";
      return kExitUsage;
    }
    host.SetField(container.first, value);
  }

  // The host opens the plug-in's resource file and tells the plug-in its number.
  std::string const resources = options.m_strBundle + "/Resources/Velmora.rsrc";
  ResFileRefNum resourceFile = kResFileNotOpened;
  if (OpenResourceFileAtPath(resources.c_str(), &resourceFile) != noErr) {
    std::cerr << "velmora-host: cannot open the resource file " << resources << "\n";
    return kExitNotLoaded;
  }
  host.SetResourceID(resourceFile);

  std::string const library = options.m_strBundle + "/Velmora";
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::cerr << "velmora-host: cannot load " << library << ": " << dlerror() << "\n";
    return kExitNotLoaded;
  }
  auto entryPoint = reinterpret_cast<FMX_ExternCallProc>(dlsym(handle, "FMExternCallProc"));
  if (!entryPoint) {
    std::cerr << "velmora-host: " << library << " has no entry point FMExternCallProc\n";
    return kExitNotLoaded;
  }
  host.SetEntryPoint(entryPoint);

  std::string const name = host.GetString(kFMXT_NameStr);
  std::cerr << "velmora-host: loaded " << (name.empty() ? library : name) << " ("
            << host.GetString(kFMXT_AppConfigStr) << ")\n";
  FMX_IntPtr const answer = host.Init(fmx::int16(options.m_intApiVersion), fmx::uchar(options.m_intAppType));
  if (answer != 51) {
    std::cerr << "velmora-host: the plug-in refused to start (Init answered " << answer << ")\n";
    return kExitNotLoaded;
  }

  if (options.m_bolFileFunctions) {
    // The plug-in's own start-up offers no File_* function; the bundle's offer call adds them.
    using OfferProc = int32_t (*)(uint32_t);
    auto offer = reinterpret_cast<OfferProc>(dlsym(handle, "VelmoraOfferFileFunctions"));
    int32_t const refused = offer ? offer(uint32_t(options.m_ulngFileFunctions)) : -1;
    if (refused != 0) {
      std::cerr << "velmora-host: the File_* functions could not be offered ("
                << (offer ? "the host answered " + std::to_string(refused) : std::string("no offer call"))
                << ")\n";
      host.Shutdown();
      return kExitNotLoaded;
    }
  }

  int status = kExitOK;
  for (std::string const& call : options.m_vecCalls) {
    int const failedAnswers = dialogs.FailedCount();
    if (!RunCall(host, call) || dialogs.FailedCount() != failedAnswers) status = kExitCallFailed;
    dialogs.ReportRefusals();
    host.Idle(0);
  }
  host.Shutdown();
  if (progress) progress->Stop();
  return status;
}
