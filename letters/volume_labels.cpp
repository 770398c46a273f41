#include "letters/volume_labels.h"

std::wstring UpperCaseLabel(std::wstring szLabel) {
  for (wchar_t& c : szLabel) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return szLabel;
}

bool LabelBeginsWith(const std::wstring& szLabel, const std::wstring& szPrefix) {
  return UpperCaseLabel(szLabel).compare(0, szPrefix.size(), szPrefix) == 0;
}

bool LabelEquals(const std::wstring& szLabel, const std::wstring& szText) {
  return UpperCaseLabel(szLabel) == szText;
}
