// The report of malvik-sim explore: the machine's verdict first, then one
// line per variation grouped by family, then a summary; or the same as one
// JSON object.
#pragma once

#include <ostream>
#include <string>

#include "tools/explore.h"

void WriteExploreText(std::ostream& out, const Exploration& exploration, bool bColour);
void WriteExploreJson(std::ostream& out, const Exploration& exploration);

// "11 of 46 variations break recovery; most often: REASON (4)", or that
// none does.
std::string ExploreSummary(const Exploration& exploration);

// The machine's section of the --html page, as a run's, with the summary
// and a table of the variations (family, name, passed or failed, the first
// reason) below it; failed when the machine or any variation fails.
HtmlSection ExploreSection(const Exploration& exploration);
