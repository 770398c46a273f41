#include "core/settle_letters.h"

SettledLetters SettleLetters(LetterArguments letters) {
  if (letters.m_Recovery.empty() && letters.m_ESP.empty() && letters.m_PBR.empty()) {
    return {kDefaultRecoveryLetter, kDefaultESPLetter, kDefaultPBRLetter, false};
  }
  return {std::move(letters.m_Recovery), std::move(letters.m_ESP), std::move(letters.m_PBR), true};
}
