// The letter rules that find special partitions by volume label and give
// them drive letters. Not built yet: each rule leaves every letter as it is.
#include "core/setup_context.h"

void SetupContext::AssignUefiLetters() {}

void SetupContext::AssignSystemReservedLetter() {}

void SetupContext::AssignResetAndServiceLetters() {}
