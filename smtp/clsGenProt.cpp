// clsGenProt: construction and destruction of the protocol controller.
#include "smtp/clsGenProt.h"

clsGenProt::clsGenProt() : m_pudtThread(nullptr) {}

clsGenProt::~clsGenProt() = default;

bool clsGenProt::IsProtocolStarted() { return m_pudtThread != nullptr; }
