#include "core/setup_context.h"

#include "core/setup_sequence.h"
#include "support/boot_mode.h"

SetupContext::SetupContext(std::wstring szRecoveryLetter, std::wstring szESPLetter,
                           std::wstring szPBRLetter)
    : SetupContext(WithoutSequence{}, std::move(szRecoveryLetter), std::move(szESPLetter),
                   std::move(szPBRLetter)) {
  RunSetupSequence(*this);
}

SetupContext::SetupContext(WithoutSequence, std::wstring szRecoveryLetter, std::wstring szESPLetter,
                           std::wstring szPBRLetter) {
  SettledLetters letters = SettleLetters(
      {std::move(szRecoveryLetter), std::move(szESPLetter), std::move(szPBRLetter)});
  m_LettersGiven = letters.m_Given;
  m_RecoveryLetter = std::move(letters.m_Recovery);
  m_ESPLetter = std::move(letters.m_ESP);
  m_PBRLetter = std::move(letters.m_PBR);
}

bool IsUefiBoot(SetupContext& context) { return ProbeUefiBoot(context.m_Logger); }
