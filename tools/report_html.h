// The page --html writes: one self-contained HTML file (its style inline,
// no script, font or image, nothing fetched: its own policy forbids it)
// with a section per machine: its disks drawn to scale (disk_picture.h),
// the letters before and after the run, the hand-over and the verdict
// with its reasons. Failed machines come first. Every text from a
// description or a run (labels, paths, names) is escaped.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/sim_outcome.h"
#include "tools/verdict.h"

// One part of the page: a machine, an unreadable description, or what a
// command adds of its own.
struct HtmlSection {
  std::string m_Heading;  // plain text; the page escapes it
  bool m_Passed = true;   // the failed ones come first
  std::string m_Body;     // HTML, its texts escaped with HtmlText
};

// Text as HTML: &, <, >, " and ' escaped, control characters other than
// line feed and tab shown as U+FFFD.
std::string HtmlText(const std::string& szText);

// A machine after its run; szSource is where its description came from.
HtmlSection MachineSection(const std::string& szSource, const sim::SimMachine& machine,
                           const Outcome& outcome, const Verdict& verdict);
// A description that could not be read: failed, with the reason.
HtmlSection UnreadableSection(const std::string& szSource, const std::string& szError);

// The whole page: szTitle, a summary of how many passed and failed, then
// the sections, the failed ones first, each kind in the order given.
std::string HtmlPage(const std::string& szTitle, const std::vector<HtmlSection>& sections);

// The page is output, not evidence: it may replace an earlier one, whole,
// through a new file beside it renamed over it; a link at szFile is
// refused, never written through. False with one line on `err`.
bool WriteHtmlFile(const std::string& szFile, const std::string& szPage, std::ostream& err);
// The same refusal, before anything runs.
bool HtmlFileRefused(const std::string& szFile, std::ostream& err);
