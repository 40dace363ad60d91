// clsSMTPProtResponse: one SMTP reply (RFC 5321) as the reply parser gathers it: its three-digit
// code, the text of each line after the code and its separator, and whether its last line has
// arrived. Copies own their own list of lines; a move hands the list over. Never throws; a list that cannot be made stays
// null.
#pragma once

#include "core/AnsiString.h"
#include "core/TStringList.h"

class clsSMTPProtResponse {
 public:
  clsSMTPProtResponse() = default;
  clsSMTPProtResponse(clsSMTPProtResponse const& other);
  clsSMTPProtResponse& operator=(clsSMTPProtResponse const& other);
  // Moves hand the list over: a long reply is not copied on its way out of the queue.
  clsSMTPProtResponse(clsSMTPProtResponse&& other) noexcept;
  clsSMTPProtResponse& operator=(clsSMTPProtResponse&& other) noexcept;
  ~clsSMTPProtResponse();

  // The lines joined with "\r", or "Unknown error." when there is no list.
  AnsiString Text() const;
  int LineCount() const { return m_pulstLines == nullptr ? 0 : m_pulstLines->Count(); }

  bool m_bolComplete = false;
  TStringList* m_pulstLines = nullptr;  // owned
  int m_intCode = 0;
};
