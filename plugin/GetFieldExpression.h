// GetFieldExpression: the one place where a field name becomes the host calculation that reads
// the field, GetField("name"), for merge fields and for container fields named by the e-mail
// functions.
// Interface: BuildGetFieldExpression(name).
// Relies on core/UniString.h only. Never fails.
#pragma once

#include "core/UniString.h"

// GetField(" + name + "), the name a quoted host text whatever it holds: each '\' and '"' is
// escaped with a backslash, so no part of the name can end the text and run as a calculation.
UniString BuildGetFieldExpression(UniString const& name);
