// Lookups in the description's key table, and the table in words for the
// documentation.
#include "simulator/description_format.h"

namespace description {

const KeyRow* FindKey(Place place, std::string_view szName) {
  for (const KeyRow& row : kKeyRows) {
    if (row.m_Place == place && szName == row.m_szName) return &row;
  }
  return nullptr;
}

const char* PlaceWords(Place place) {
  switch (place) {
    case Place::kMachine: return "top level";
    case Place::kFirmware: return "firmware object";
    case Place::kDisk: return "disk";
    case Place::kPartition: return "partition";
    case Place::kDrive: return "drive object";
    case Place::kFile: return "file object";
    case Place::kScript: return "script";
    case Place::kFaults: return "faults";
    case Place::kWmiFault: return "WMI fault";
    case Place::kCosts: return "costs";
    case Place::kCount: break;
  }
  return "?";
}

const char* TypeWords(Type type) {
  switch (type) {
    case Type::kText: return "text";
    case Type::kWholeNumber: return "whole number";
    case Type::kBoolean: return "true or false";
    case Type::kList: return "list";
    case Type::kObject: return "object";
    case Type::kTextOrObject: return "text or object";
  }
  return "?";
}

std::string RangeWords(const KeyRow& row) {
  std::string sz;
  if (row.m_Type == Type::kWholeNumber && row.m_szRange[0] == '\0') {
    sz = std::to_string(row.m_nMin) +
         (row.m_nMax == kNoMax ? std::string(" or more") : " to " + std::to_string(row.m_nMax));
  } else if (row.m_Type == Type::kWholeNumber && row.m_szRange[0] == 'o') {
    // "or ...": the range, then the other values allowed.
    sz = std::to_string(row.m_nMin) + " to " + std::to_string(row.m_nMax) + " " + row.m_szRange;
  } else {
    sz = row.m_szRange[0] == '\0' ? "any" : row.m_szRange;
  }
  return sz;
}

std::string KeyTableMarkdown() {
  std::string sz = "| key | in | type | values | null | captured | meaning |\n"
                   "|---|---|---|---|---|---|---|\n";
  for (const KeyRow& row : kKeyRows) {
    const char* szCaptured = row.m_Captured == Captured::kAsFound   ? "yes"
                             : row.m_Captured == Captured::kOwnWords ? "its own"
                                                                     : "no";
    // A cell holds no bar of its own. (Built a character at a time: GCC 12
    // misreads an insert here at -O2 as an overlapping copy.)
    std::string szRange;
    for (const char c : RangeWords(row)) {
      if (c == '|') szRange += '\\';
      szRange += c;
    }
    sz += "| `";
    sz += row.m_szName;
    sz += "` | ";
    sz += PlaceWords(row.m_Place);
    sz += " | ";
    sz += TypeWords(row.m_Type);
    sz += " | ";
    sz += szRange;
    sz += " | ";
    sz += row.m_Nullable ? "yes" : "no";
    sz += " | ";
    sz += szCaptured;
    sz += " | ";
    sz += row.m_szMeaning;
    sz += " |\n";
  }
  return sz;
}

}  // namespace description
