// Fuzz target: any bytes as one call for velmora-host's call reader. Must never crash or hang;
// an accepted call must read back the same from its own canonical form (name, then each
// parameter written out again), and a refusal must name a position inside the text or just
// after it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/HostCallParser.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string Quote(std::string const& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    char const c = text[i];
    if (c == '"' || c == '\\') out.push_back('\\');
    if (c == '\r') {
      out += "\xC2\xB6";
      continue;
    }
    if (text.compare(i, 2, "\xC2\xB6") == 0) {
      out += "\\\xC2\xB6";
      ++i;
      continue;
    }
    out.push_back(c);
  }
  return out + "\"";
}

std::string Canonical(stcHostCall const& call) {
  std::string out = call.m_strFunction + "(";
  for (size_t i = 0; i < call.m_vecParameters.size(); ++i) {
    stcHostCallParameter const& p = call.m_vecParameters[i];
    if (i > 0) out += ";";
    switch (p.m_enmKind) {
      case stcHostCallParameter::kText:
        out += Quote(p.m_strText);
        break;
      case stcHostCallParameter::kNumber:
        out += p.m_strText;
        break;
      case stcHostCallParameter::kBoolean:
        out += p.m_bolValue ? "True" : "False";
        break;
      case stcHostCallParameter::kContainer:
        out += "Container(" + Quote(p.m_strText) + ")";
        break;
      case stcHostCallParameter::kField:
      case stcHostCallParameter::kVariable:
        out += p.m_strText;  // Table::Field, $name or $$name as it was read
        break;
    }
  }
  return out + ")";
}

bool Same(stcHostCall const& a, stcHostCall const& b) {
  if (a.m_strFunction != b.m_strFunction || a.m_vecParameters.size() != b.m_vecParameters.size()) return false;
  for (size_t i = 0; i < a.m_vecParameters.size(); ++i) {
    stcHostCallParameter const& x = a.m_vecParameters[i];
    stcHostCallParameter const& y = b.m_vecParameters[i];
    if (x.m_enmKind != y.m_enmKind || x.m_strText != y.m_strText || x.m_bolValue != y.m_bolValue) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  std::string const text(reinterpret_cast<char const*>(data), size);
  stcHostCall call;
  std::string error;
  if (!ParseHostCall(text, &call, &error)) {
    Check(error.compare(0, 9, "position ") == 0);
    Check(std::strtoul(error.c_str() + 9, nullptr, 10) <= size + 1);
    return 0;
  }
  Check(!call.m_strFunction.empty());
  stcHostCall again;
  Check(ParseHostCall(Canonical(call), &again, &error));
  Check(Same(call, again));
  return 0;
}
