// The inventory's readers of WMI text: the association paths and the
// decimal conversion, on any text, and on the paths WMI writes around any
// numbers and letters.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "inventory/wmi_inventory.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// The first eight bytes as a number; fewer give 0.
std::int64_t NumberFromBytes(const std::uint8_t* pData, std::size_t nSize) {
  std::uint64_t n = 0;
  if (nSize >= sizeof n) std::memcpy(&n, pData, sizeof n);
  return static_cast<std::int64_t>(n);
}

// The text without '=': what WMI writes before a path's key.
std::wstring WithoutEquals(std::wstring sz) {
  std::erase(sz, L'=');
  return sz;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
  const std::wstring szText = fuzz::WideFromBytes(pData, nSize);

  // The two widths agree: the narrow one is the wide one held to its range.
  const std::int64_t nWide = DecimalToInt64(szText);
  const std::int32_t nNarrow = DecimalToInt32(szText);
  const std::int64_t nClamped =
      nWide < std::numeric_limits<std::int32_t>::min()   ? std::numeric_limits<std::int32_t>::min()
      : nWide > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                         : nWide;
  if (nNarrow != nClamped) std::abort();

  std::int32_t nDisk = -7;
  std::int32_t nPartition = -7;
  ParseAntecedent(szText, nDisk, nPartition);
  // A drive letter is never longer than its two characters, and is read
  // from the text.
  const std::wstring szLetter = ParseDependent(szText);
  if (szLetter.size() > 2) std::abort();
  if (!szLetter.empty() && szText.find(szLetter) == std::wstring::npos) std::abort();

  // Any number reads back from its decimal text, after white space and
  // before the quote that ends a key.
  const std::int64_t n = NumberFromBytes(pData, nSize);
  const std::wstring szBlank = std::wstring(static_cast<std::size_t>(n & 3), L' ') +
                               std::wstring(static_cast<std::size_t>((n >> 2) & 1), L'\t');
  if (DecimalToInt64(szBlank + std::to_wstring(n) + L"\"" + szText) != n) std::abort();

  // A partition's path, whatever comes before its key, gives back its disk
  // and partition numbers; a logical disk's gives back its letter.
  const auto nDiskWritten = static_cast<std::int32_t>(n);
  const auto nPartitionWritten = static_cast<std::int32_t>(n >> 32);
  const std::wstring szBefore = WithoutEquals(szText);
  ParseAntecedent(szBefore + L"=\"Disk #" + std::to_wstring(nDiskWritten) + L", Partition #" +
                      std::to_wstring(nPartitionWritten) + L"\"",
                  nDisk, nPartition);
  if (nDisk != nDiskWritten || nPartition != nPartitionWritten) std::abort();
  const wchar_t cLetter = szText.empty() || szText[0] == L':' ? L'C' : szText[0];
  if (ParseDependent(szBefore + L"=\"" + cLetter + L":\"") != std::wstring{cLetter, L':'}) {
    std::abort();
  }
  return 0;
}
