// Controls: the handle of a live control (view) of the HIToolbox, as the dialog engine's layout
// tree caches it and the web-view bundle receives it. A control and a view are one object, so the
// two names are one type. No behaviour here: the window stand-in makes and owns the objects.
#pragma once

#include "platform/carbon/MacTypes.h"

typedef struct OpaqueControlRef* ControlRef;
typedef ControlRef HIViewRef;
