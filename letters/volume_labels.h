// How the letter rules recognise a volume by its label. Case is ignored for
// the letters a to z only, whatever the locale.
#pragma once

#include <string>

// The label with a to z made A to Z; every other character unchanged.
std::wstring UpperCaseLabel(std::wstring szLabel);

// The label, upper-cased as above, starts with the (upper-case) prefix.
bool LabelBeginsWith(const std::wstring& szLabel, const std::wstring& szPrefix);

// The whole label equals the (upper-case) text, ignoring the case of a to z.
// Nothing is trimmed.
bool LabelEquals(const std::wstring& szLabel, const std::wstring& szText);
