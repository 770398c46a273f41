// Words for people, shared by the capture's notes and malvik-sim's report:
// a list in a sentence, and a partition named in words. For UTF-8 text
// (std::string) and wide text (std::wstring) alike; the words they add are
// ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ASCII text as either kind of string.
template <class String>
String AsciiText(std::string_view sz) {
  return String(sz.begin(), sz.end());
}

// The items with szBetween between each two: "a; b", "C:, D:", "x or y".
template <class String>
String JoinedWith(const std::vector<String>& items, std::string_view szBetween) {
  String sz;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) sz += AsciiText<String>(szBetween);
    sz += items[i];
  }
  return sz;
}

// "a", "a and b", "a, b and c".
template <class String>
String JoinedWithAnd(const std::vector<String>& items) {
  String sz;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) sz += AsciiText<String>(i + 1 == items.size() ? " and " : ", ");
    sz += items[i];
  }
  return sz;
}

// "partition 2 of disk 0": a partition in a sentence.
template <class String = std::string>
String PartitionWords(std::int64_t nDisk, std::int64_t nNumber) {
  return AsciiText<String>("partition " + std::to_string(nNumber) + " of disk " +
                           std::to_string(nDisk));
}

// "disk 0 partition 2": a partition as a name in a list or a table.
template <class String = std::string>
String PartitionName(std::int64_t nDisk, std::int64_t nNumber) {
  return AsciiText<String>("disk " + std::to_string(nDisk) + " partition " +
                           std::to_string(nNumber));
}

}  // namespace platform
