// FMWrapper: the whole plug-in SDK stand-in in one include: values (text, numbers, dates,
// container data), the calculation engine, the call block and the host services.
// Relies on the headers below only; see each for its failure behaviour.
#pragma once

#include "platform/fmx/FMXBinaryData.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXDateTime.h"
#include "platform/fmx/FMXExtern.h"
#include "platform/fmx/FMXFixPt.h"
#include "platform/fmx/FMXHostServices.h"
#include "platform/fmx/FMXText.h"
#include "platform/fmx/FMXTypes.h"
