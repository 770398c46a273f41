// The simulated profile writer on any old file text, section, key and value.
// What the log relies on: every unrelated line survives, and the written key
// stands in the file once, so writing it again replaces it.
#include <cstdlib>

#include "simulator/ini_text.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

std::vector<std::wstring> Lines(const std::wstring& szText) {
  std::vector<std::wstring> lines;
  size_t begin = 0;
  while (begin < szText.size()) {
    size_t end = szText.find(L"\r\n", begin);
    if (end == std::wstring::npos) end = szText.size();
    lines.push_back(szText.substr(begin, end - begin));
    begin = end + 2;
  }
  return lines;
}

// Whether `sub`, less its line nSkip (none when out of range), stands in
// `all` in its order.
bool IsSubsequence(const std::vector<std::wstring>& sub, const std::vector<std::wstring>& all,
                   size_t nSkip) {
  size_t j = 0;
  for (size_t i = 0; i < sub.size(); ++i) {
    if (i == nSkip) continue;
    while (j < all.size() && all[j] != sub[i]) ++j;
    if (j == all.size()) return false;
    ++j;
  }
  return true;
}

// A name the profile writer can store and find again: no line end, no '='
// in a key, no bracket in a section, not blank, not opening a section.
bool Storable(const std::wstring& sz, const wchar_t* szForbidden) {
  if (sz.find_first_not_of(L" \t") == std::wstring::npos) return false;
  if (sz.find(L"\r\n") != std::wstring::npos) return false;
  if (sz.find_first_of(szForbidden) != std::wstring::npos) return false;
  return sz[sz.find_first_not_of(L" \t")] != L'[';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
  const auto parts = fuzz::SplitAtNul(fuzz::WideFromBytes(pData, nSize), 5);
  const std::wstring& szOld = parts[0];
  const std::wstring& szSection = parts[1];
  const std::wstring& szKey = parts[2];
  const std::wstring& szValue = parts[3];
  const std::wstring& szOtherValue = parts[4];
  if (!Storable(szSection, L"[]=") || !Storable(szKey, L"=")) return 0;
  // Keys match with their blanks trimmed, and a replaced key is written back
  // trimmed (as Wine does), so a key with blanks at its ends is not written
  // the same way twice.
  if (szKey.find_last_not_of(L" \t") != szKey.size() - 1 || szKey.find_first_of(L" \t") == 0) {
    return 0;
  }
  if (szValue.find(L"\r\n") != std::wstring::npos ||
      szOtherValue.find(L"\r\n") != std::wstring::npos) {
    return 0;
  }

  const std::wstring szNew = sim::SetIniValue(szOld, szSection, szKey, szValue);

  // Unrelated lines: all old lines but at most the one replaced stand in the
  // new text, in their order, and at most a section and a key were added.
  const auto oldLines = Lines(szOld);
  const auto newLines = Lines(szNew);
  if (newLines.size() > oldLines.size() + 2) std::abort();
  bool bKept = IsSubsequence(oldLines, newLines, oldLines.size());
  for (size_t nSkip = 0; !bKept && nSkip < oldLines.size(); ++nSkip) {
    bKept = IsSubsequence(oldLines, newLines, nSkip);
  }
  if (!bKept) std::abort();

  // The key is there once: writing it again, with any value first, ends in
  // the same text.
  if (sim::SetIniValue(szNew, szSection, szKey, szValue) != szNew) std::abort();
  const std::wstring szDetour = sim::SetIniValue(szOld, szSection, szKey, szOtherValue);
  if (sim::SetIniValue(szDetour, szSection, szKey, szValue) != szNew) std::abort();
  return 0;
}
