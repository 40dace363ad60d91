// PluginFunctionCallback: the host callback of the e-mail functions GetDialogValue (id 10),
// SendMessage (20) and ShowMessageDialog (30). It checks the parameter count, reads each host
// parameter of the function's table into a named value (attachments into three host data
// values of their own, a container as its data, anything else as text with its locale), calls the
// worker and writes its result, in the frame all calculation callbacks share (resource file,
// crash log; plugin/frame/CalcCallbackFrame.h).
// A parameter marked optional is read only when the host passed it and it is not empty, so the
// worker applies its own default; the first parameter that cannot be read ends the call with its
// error text, and no worker sees any of the values.
// Relies on the parameter extractor, GetDialogValue's worker (clsSendValues.h) and the e-mail
// workers (EmailWorkers.h). Host thread only; answers the host 0 on every path; errors are result
// texts "ERROR: <function>: ..." or "ERROR: PluginFunctionCallback: ...", written to the debug log
// at level Err.
#include "core/DebugLog.h"
#include "core/clsParameterExtractor.h"
#include "plugin/frame/CalcCallbackFrame.h"
#include "plugin/frame/EmailFunctions.h"
#include "plugin/frame/EmailWorkers.h"
#include "plugin/frame/clsSendValues.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// One position of a function's parameter table: a value read as the type, or (attachment 1 to
// 3) a host data value of its own. Required positions are read whatever they hold.
struct stcParameter {
  char const* name;
  enumPEType type;
  int attachment;
  bool required;
};

stcParameter const kGetDialogValueParameters[] = {{"Which", kPEText, 0, true}};

stcParameter const kSendMessageParameters[] = {
    {"To", kPEList, 0, true},          {"Subject", kPEText, 0, true},     {"Body", kPEList, 0, false},
    {"Attachment1", kPEText, 1, false}, {"Attachment2", kPEText, 2, false}, {"Attachment3", kPEText, 3, false}};

stcParameter const kShowMessageDialogParameters[] = {
    {"Addresses", kPEList, 0, false},   {"Subject", kPEText, 0, false},      {"Body", kPEList, 0, false},
    {"Attachment1", kPEText, 1, false}, {"Attachment2", kPEText, 2, false}, {"Attachment3", kPEText, 3, false},
    {"MergeFields", kPEList, 0, false}, {"Containers", kPEList, 0, false},  {"SendEmail", kPEBoolean, 0, false}};

struct stcFunction {
  short id;
  char const* name;
  fmx::uint32 minimum;
  stcParameter const* parameters;
  fmx::uint32 count;
};

template <size_t N>
constexpr fmx::uint32 CountOf(stcParameter const (&)[N]) {
  return fmx::uint32(N);
}

stcFunction const kFunctions[] = {
    {10, "GetDialogValue", 1, kGetDialogValueParameters, CountOf(kGetDialogValueParameters)},
    {20, "SendMessage", 2, kSendMessageParameters, CountOf(kSendMessageParameters)},
    {30, "ShowMessageDialog", 0, kShowMessageDialogParameters, CountOf(kShowMessageDialogParameters)}};

// Reads the function's parameters into the collection and the attachment values; the error text
// of the first one that cannot be read, else empty.
UniString ReadParameters(stcFunction const& function, fmx::DataVect const& parameters, clsMultiVar* collection,
                         fmx::Data* attachments[3]) {
  UniString const prefix = U("ERROR: ") + U(function.name) + U(": The '");
  clsSingleVar value;
  for (fmx::uint32 position = 0; position < function.count && position < parameters.Size(); ++position) {
    stcParameter const& parameter = function.parameters[position];
    fmx::Data const& data = parameters.At(position);
    if (!parameter.required && data.IsEmpty()) continue;
    if (parameter.attachment == 0) {
      if (!g_udtPE->Extract(data, &value, parameter.type))
        return prefix + U(parameter.name) + U("' parameter must be ") +
               U(parameter.type == kPEBoolean ? "true or false." : "text.");
      value.SetName(U(parameter.name));
      collection->AddVar(&value, true);
      continue;
    }
    if (data.GetNativeType() != fmx::Data::kDTBinary && data.GetNativeType() != fmx::Data::kDTText)
      return prefix + U(parameter.name) + U("' parameter must be either a Path and File Name or a Container field.");
    fmx::Data* const attachment = attachments[parameter.attachment - 1];
    if (parameters.AtAsBinaryData(position).GetCount() > 0) {
      attachment->SetBinaryData(parameters.AtAsBinaryData(position), true);
    } else {
      attachment->SetAsText(parameters.AtAsText(position), data.GetLocale(), fmx::Data::kDTText);
    }
  }
  return UniString();
}

void EmailSteps(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                clsSingleVar* resultValue, UniString* error, UniString* functionName, clsFuncDebug& tracer) {
  stcFunction const* function = nullptr;
  for (stcFunction const& candidate : kFunctions)
    if (candidate.id == functionId) function = &candidate;
  if (function == nullptr) {
    *error = U("ERROR: PluginFunctionCallback: Unknown Plug-in Function.");
    return;
  }
  *functionName = U(function->name);
  tracer.Output(kDebugInfo, *functionName);
  if (parameters.Size() < function->minimum) {
    *error = U("ERROR: ") + *functionName + U(": Incorrect number of parameters.");
    return;
  }
  clsMultiVar collection;
  fmx::DataAutoPtr attachment1, attachment2, attachment3;
  fmx::Data* attachments[3] = {attachment1.get(), attachment2.get(), attachment3.get()};
  *error = ReadParameters(*function, parameters, &collection, attachments);
  if (error->IsNotEmpty()) return;
  switch (functionId) {
    case 10:
      *resultValue = DoGetDialogValue(&collection);
      break;
    case 20:
      *resultValue = DoSendMessage(&collection, *attachment1, *attachment2, *attachment3, environment);
      break;
    default:
      *resultValue = DoShowMessageDialog(&collection, *attachment1, *attachment2, *attachment3, environment);
      break;
  }
}

}  // namespace

fmx::errcode PluginFunctionCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                                    fmx::Data& result) {
  return RunCalcCallback("PluginFunctionCallback", EmailSteps, kDebugError, functionId, environment, parameters,
                         result);
}
