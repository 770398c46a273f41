// malvik-sim check PATH...: the fleet check. Runs every description given
// (files, or folders of *.json) and shows one line per machine, naming its
// file and, when it failed, the verdict's first reason; then how many passed
// and failed. With --json, one JSON object instead: {"machines": [...],
// "passed": N, "failed": N}. Everything goes to the one stream.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/report_html.h"

// The exit status: 0 when every machine passed, 1 when any failed its
// verdict or could not be read. Each machine runs with its description's
// "arguments", or with `args` when given (malvik-sim check ... -- ARG...).
// bAssumeRebuiltBcd: every machine's scripts rebuild the boot store
// (--assume-rebuilt-bcd), as plan takes them to, so that the descriptions
// plan --out kept pass here as they passed there.
// pSections: when given, also gets each machine's section of the --html
// page, in the order of the lines.
int RunFleetCheck(const std::vector<std::string>& paths, bool bJson, bool bColour,
                  std::ostream& out,
                  const std::optional<std::vector<std::wstring>>& args = std::nullopt,
                  bool bAssumeRebuiltBcd = false, std::vector<HtmlSection>* pSections = nullptr);
