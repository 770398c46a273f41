// The inventory's readers of WMI text: the association paths and the
// decimal conversion, on any text.
#include <cstdlib>
#include <limits>

#include "inventory/wmi_inventory.h"
#include "tests/fuzz/fuzz_input.h"

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
  // A drive letter is never longer than its two characters.
  if (ParseDependent(szText).size() > 2) std::abort();
  return 0;
}
