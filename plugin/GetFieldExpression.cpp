// GetFieldExpression: the backslash is escaped before the quote, so the quote's own escape is
// not escaped again.
#include "plugin/GetFieldExpression.h"

UniString BuildGetFieldExpression(UniString const& name) {
  UniString const quoted = name.StrSub(UniString("\\"), UniString("\\\\")).StrSub(UniString("\""), UniString("\\\""));
  return UniString("GetField(\"") + quoted + UniString("\")");
}
