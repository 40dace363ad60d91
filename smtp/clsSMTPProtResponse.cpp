// clsSMTPProtResponse: copying with lists of their own, and the reply's text.
#include "smtp/clsSMTPProtResponse.h"

#include <new>

clsSMTPProtResponse::clsSMTPProtResponse(clsSMTPProtResponse const& other)
    : m_bolComplete(other.m_bolComplete), m_pulstLines(nullptr), m_intCode(other.m_intCode) {
  if (other.m_pulstLines != nullptr) {
    m_pulstLines = new (std::nothrow) TStringList;
    if (m_pulstLines != nullptr) m_pulstLines->Assign(other.m_pulstLines);
  }
}

clsSMTPProtResponse& clsSMTPProtResponse::operator=(clsSMTPProtResponse const& other) {
  if (this == &other) return *this;
  delete m_pulstLines;
  m_pulstLines = nullptr;
  m_bolComplete = other.m_bolComplete;
  m_intCode = other.m_intCode;
  if (other.m_pulstLines != nullptr) {
    m_pulstLines = new (std::nothrow) TStringList;
    if (m_pulstLines != nullptr) m_pulstLines->Assign(other.m_pulstLines);
  }
  return *this;
}

clsSMTPProtResponse::clsSMTPProtResponse(clsSMTPProtResponse&& other) noexcept
    : m_bolComplete(other.m_bolComplete), m_pulstLines(other.m_pulstLines), m_intCode(other.m_intCode) {
  other.m_pulstLines = nullptr;
}

clsSMTPProtResponse& clsSMTPProtResponse::operator=(clsSMTPProtResponse&& other) noexcept {
  if (this == &other) return *this;
  delete m_pulstLines;
  m_pulstLines = other.m_pulstLines;
  other.m_pulstLines = nullptr;
  m_bolComplete = other.m_bolComplete;
  m_intCode = other.m_intCode;
  return *this;
}

clsSMTPProtResponse::~clsSMTPProtResponse() { delete m_pulstLines; }

AnsiString clsSMTPProtResponse::Text() const {
  if (m_pulstLines == nullptr) return AnsiString("Unknown error.");
  return m_pulstLines->Text(AnsiString("\r"));
}
