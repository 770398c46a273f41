// The variations malvik-sim explore runs: realistic field changes to a
// machine description, one at a time. Each variation is a description of
// its own (JSON text that malvik-sim runs as it is), made from the original
// document, with a stable name and a sentence of what it models.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "simulator/sim_view.h"

// A family of variations: its name (what --only takes) and its heading.
struct VariationFamily {
  const char* m_Name;   // "removable"
  const char* m_Title;  // "Removable media"
};

// Every family, in the order the report shows them.
std::span<const VariationFamily> VariationFamilies();
// The family of this name, or nullptr.
const VariationFamily* FindVariationFamily(const std::string& szName);

struct Variation {
  std::string m_Family;  // a VariationFamily's m_Name
  std::string m_Name;    // "removable.stick-M": the family, a dot, what changes
  std::string m_Models;  // what it models and why it happens in the field
  // The varied description, as JSON text; for the second run, empty until
  // explore has run the machine once and described what that run left.
  std::string m_Description;
  bool m_SecondRun = false;
};

// The variations of a description: `document` is its JSON text and
// `machine` the machine it loads to, before any run (where its letters,
// labels and files are read). szOnly: one family's name, or empty for all.
// Variations that make no sense on this machine (a stick at a letter it
// already uses, disks in reverse order with one disk) are left out.
std::vector<Variation> MakeVariations(const std::string& szDocument,
                                      const sim::SimMachine& machine,
                                      const std::string& szOnly = "");
