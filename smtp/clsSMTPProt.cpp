// clsSMTPProt: construction and destruction of the SMTP controller.
#include "smtp/clsSMTPProt.h"

clsSMTPProt::clsSMTPProt() = default;

clsSMTPProt::~clsSMTPProt() = default;
