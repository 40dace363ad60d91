// Fuzz target: the DNS reply decoder over any bytes, as an MX, A and PTR reply. It must end
// without a crash, a hang or a read outside the bytes; a decode that fails leaves an error text
// and one that succeeds keeps only non-empty result lines. Else the target aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "smtp/clsDNSQuery.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  int length = size > 4000 ? 4000 : static_cast<int>(size);
  for (enumDNSQueryType type : {kDNSQueryMX, kDNSQueryA, kDNSQueryPTR}) {
    clsDNSQuery query;
    query.SetQueryType(type);
    bool decoded = query.DecodeDNS(data, length);
    if (!decoded && query.ErrorString().Length() == 0 && length >= 12 &&
        (data[4] | data[5]) != 0 && (data[6] | data[7]) != 0) {
      // Every failure past the counts names its reason.
      abort();
    }
    for (int i = 0; i < query.ResultCount(); ++i) {
      if (query.GetResult(i).Length() == 0) abort();
    }
  }
  return 0;
}
