// MimeBytes: the message composition units' bridge between AnsiString and std::string, in which
// the encoders build their output. Header-only; never throws but for std::bad_alloc.
#pragma once

#include <string>

#include "core/AnsiString.h"

inline std::string MimeBytes(AnsiString const& s) { return std::string(s.c_str(), size_t(s.Length())); }
inline AnsiString MimeAnsi(std::string const& s) { return AnsiString(s.data(), int(s.size())); }
