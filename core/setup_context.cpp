#include "core/setup_context.h"

#include "core/setup_sequence.h"

SetupContext::SetupContext(std::wstring szRecoveryLetter, std::wstring szESPLetter,
                           std::wstring szPBRLetter) {
  // Any non-empty letter means the command line gave them: all three are
  // taken as typed, empty ones included.
  if (!szRecoveryLetter.empty() || !szESPLetter.empty() || !szPBRLetter.empty()) {
    m_LettersGiven = true;
    m_RecoveryLetter = std::move(szRecoveryLetter);
    m_ESPLetter = std::move(szESPLetter);
    m_PBRLetter = std::move(szPBRLetter);
  } else {
    m_RecoveryLetter = kDefaultRecoveryLetter;
    m_ESPLetter = kDefaultESPLetter;
    m_PBRLetter = kDefaultPBRLetter;
  }
  RunSetupSequence(*this);
}
