#include "letters/volume_labels.h"

#include <utility>

#include "platform/ascii.h"

std::wstring UpperCaseLabel(std::wstring szLabel) {
  return platform::UpperAscii(std::move(szLabel));
}

bool LabelBeginsWith(const std::wstring& szLabel, const std::wstring& szPrefix) {
  return UpperCaseLabel(szLabel).compare(0, szPrefix.size(), szPrefix) == 0;
}

bool LabelEquals(const std::wstring& szLabel, const std::wstring& szText) {
  return UpperCaseLabel(szLabel) == szText;
}
