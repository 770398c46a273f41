#include "tools/report_html.h"

#include <algorithm>

#include "tools/disk_picture.h"
#include "tools/host.h"
#include "tools/letter_roles.h"
#include "tools/report_text.h"

using sim::ToUtf8;

namespace {

// The bar's width in the geometry's columns: the text report's, so that
// both draw a disk alike.
constexpr size_t kBarColumns = 78;

// Nothing is fetched, whatever the page holds: only its own inline style.
constexpr char kHead[] =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
    "style-src 'unsafe-inline'\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<style>\n"
    "body{font-family:sans-serif;margin:1.5em;color:#222;max-width:72em}\n"
    "section{border:1px solid #bbb;border-radius:6px;padding:0 1em 1em;margin:1em 0}\n"
    "section.failed{border-color:#b00}\n"
    ".result{font-weight:bold}.passed .result{color:#070}.failed .result{color:#b00}\n"
    ".bar{display:flex;border:1px solid #444;margin:.2em 0;font-size:.85em}\n"
    ".segment{flex-shrink:1;flex-basis:0;min-width:0;overflow:hidden;white-space:nowrap;"
    "text-overflow:ellipsis;border-right:1px solid #444;padding:.2em .3em;background:#eef}\n"
    ".segment:last-child{border-right:0}\n"
    ".segment div{overflow:hidden;text-overflow:ellipsis}\n"
    ".segment.free{background:repeating-linear-gradient(45deg,#fff,#fff 4px,#eee 4px,#eee 8px)}\n"
    ".segment.folded{background:#ddd}\n"
    ".segment.role{background:#dfd}.segment.missed{background:#fdd}\n"
    ".segment.aside{background:#ffd}\n"
    ".number{color:#666;font-size:.8em}\n"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.15em .5em;"
    "text-align:left}\n"
    "ol.reasons li{color:#b00}\n"
    "</style>\n";

std::string Element(const char* szTag, const std::string& szText) {
  return std::string("<") + szTag + ">" + HtmlText(szText) + "</" + szTag + ">";
}

std::string Joined(const std::vector<std::wstring>& items) {
  std::string sz;
  for (const std::wstring& item : items) {
    if (!sz.empty()) sz += ' ';
    sz += ToUtf8(item);
  }
  return sz;
}

std::string SegmentClass(const PictureSegment& segment) {
  std::string sz = "segment";
  if (segment.m_Kind == SegmentKind::kFree) sz += " free";
  if (segment.m_Kind == SegmentKind::kFolded) sz += " folded";
  if (segment.m_Missed) {
    sz += " missed";
  } else if (segment.m_SetAside) {
    sz += " aside";
  } else if (!segment.m_Role.empty()) {
    sz += " role";
  }
  return sz;
}

// "partition 5, PUSH BUTTON RESET, 10 GiB": what the segment's tooltip tells.
std::string SegmentTitle(const PictureSegment& segment) {
  std::string sz;
  switch (segment.m_Kind) {
    case SegmentKind::kPartition:
      sz = "partition " + SegmentNumbers(segment) + ", " + SegmentLabel(segment);
      break;
    case SegmentKind::kFolded:
      sz = "partitions " + SegmentNumbers(segment) + " without letter or role";
      break;
    case SegmentKind::kFree:
      sz = "free space";
      break;
  }
  return sz + ", " + SizeWords(segment.m_Bytes);
}

std::string DisksHtml(const sim::SimMachine& machine, const Verdict& verdict) {
  std::string sz = "<h3>Disks</h3>\n<p>To scale; each partition with its label, its letters "
                   "before &gt; after the run, and its role.</p>\n";
  for (const DiskPicture& disk : DrawDisks(machine, verdict, kBarColumns)) {
    sz += "<figure class=\"disk\">\n<figcaption>" + HtmlText(DiskHeading(disk)) +
          "</figcaption>\n";
    for (size_t nRow = 0; nRow < disk.m_Rows; ++nRow) {
      sz += "<div class=\"bar\">\n";
      for (const PictureSegment& segment : disk.m_Segments) {
        if (segment.m_Row != nRow) continue;
        sz += "<div class=\"" + SegmentClass(segment) + "\" style=\"flex-grow:" +
              std::to_string(segment.m_Cells) + "\" title=\"" + HtmlText(SegmentTitle(segment)) +
              "\"><div class=\"number\">" + HtmlText(SegmentNumbers(segment)) + "&#8203;</div>" +
              "<div class=\"label\"><b>" + HtmlText(SegmentLabel(segment)) + "</b></div>" +
              "<div class=\"letters\">" + HtmlText(SegmentLetters(segment)) + "&#8203;</div>" +
              "<div class=\"role\">" + HtmlText(SegmentRole(segment)) + "&#8203;</div></div>\n";
      }
      sz += "</div>\n";
    }
    sz += "</figure>\n";
  }
  std::vector<std::string> roles;
  for (const LetterRole* pRole : {&EspRole(), &RecoveryRole(), &PbrRole()}) {
    roles.push_back(std::string(pRole->m_Name) + ": " + RolePartitionWords(*pRole));
  }
  std::string szRoles;
  for (const std::string& szRole : roles) {
    if (!szRoles.empty()) szRoles += "; ";
    szRoles += szRole;
  }
  return sz + "<p>Roles, told by what a partition holds: " + HtmlText(szRoles) +
         ". In brackets: it fits too, but the tie rule takes another.</p>\n";
}

std::string LettersHtml(const Outcome& outcome, const Verdict& verdict) {
  std::string sz = "<h3>The run's letters</h3>\n<table>\n<tr><th>letter</th><th>for</th>"
                   "<th>names after the run</th></tr>\n";
  for (const LetterUse& use : verdict.m_Letters) {
    std::string szNames = use.m_Names.empty() ? "nothing" : ToUtf8(use.m_Names);
    if (!use.m_Names.empty() && !use.m_Label.empty()) {
      szNames += ", \"";
      szNames += ToUtf8(use.m_Label);
      szNames += '"';
    }
    sz += "<tr>" + Element("td", use.m_Letter.empty() ? "(empty)" : ToUtf8(use.m_Letter)) +
          Element("td", use.m_Role) + Element("td", szNames) + "</tr>\n";
  }
  sz += "</table>\n<h3>Drive letters after the run</h3>\n<table>\n<tr><th>letter</th>"
        "<th>names</th><th>label</th><th>against the start</th></tr>\n";
  for (const Drive& drive : outcome.m_Drives) {
    sz += "<tr>" + Element("td", ToUtf8(drive.m_Letter)) +
          Element("td", drive.m_Stack.empty() ? "-" : ToUtf8(drive.m_Stack.front())) +
          Element("td", drive.m_Label.empty() ? "-" : ToUtf8(drive.m_Label)) +
          Element("td", drive.m_Change) + "</tr>\n";
  }
  return sz + "</table>\n";
}

std::string VerdictHtml(const Verdict& verdict) {
  std::string sz = "<h3>Hand-over</h3>\n";
  if (verdict.m_HandOver == HandOver::kNone) {
    sz += "<p>None.</p>\n";
  } else {
    sz += Element("p", std::string(HandOverWord(verdict.m_HandOver)) + ", " +
                           ToUtf8(verdict.m_HandOverScript) + " " +
                           Joined(verdict.m_HandOverLetters) +
                           (verdict.m_HandOverRan ? ", ran" : ", did not run")) +
          "\n" + Element("p", HandOverWords(verdict)) + "\n";
  }
  sz += Element("p", "Batch exit code: " + (verdict.m_BatchExitCode
                                                ? std::to_string(*verdict.m_BatchExitCode)
                                                : std::string("(not run)"))) +
        "\n<h3>Verdict</h3>\n<p class=\"result\">" +
        (verdict.Passed() ? "Passed" : "Failed") + "</p>\n";
  auto list = [&](const char* szHeading, const char* szClass,
                  const std::vector<std::string>& items) {
    if (items.empty()) return;
    if (*szHeading != '\0') sz += Element("p", szHeading) + "\n";
    sz += std::string("<ol class=\"") + szClass + "\">\n";
    for (const std::string& szItem : items) sz += Element("li", szItem) + "\n";
    sz += "</ol>\n";
  };
  list("", "reasons", verdict.m_Reasons);
  list("Warnings:", "warnings", verdict.m_Warnings);
  list("Not checked:", "unchecked", verdict.m_Unchecked);
  return sz;
}

}  // namespace

std::string HtmlText(const std::string& szText) {
  std::string sz;
  for (const char c : szText) {
    switch (c) {
      case '&': sz += "&amp;"; break;
      case '<': sz += "&lt;"; break;
      case '>': sz += "&gt;"; break;
      case '"': sz += "&quot;"; break;
      case '\'': sz += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
          sz += "&#xFFFD;";
        } else {
          sz += c;
        }
    }
  }
  return sz;
}

HtmlSection MachineSection(const std::string& szSource, const sim::SimMachine& machine,
                           const Outcome& outcome, const Verdict& verdict) {
  HtmlSection section;
  section.m_Heading = machine.m_Name.empty() ? "(unnamed)" : ToUtf8(machine.m_Name);
  section.m_Passed = verdict.Passed();
  section.m_Body = "<p class=\"result\">" + std::string(verdict.Passed() ? "Passed" : "Failed") +
                   "</p>\n<table>\n<tr>" + Element("th", "description") +
                   Element("td", szSource) + "</tr>\n<tr>" + Element("th", "firmware") +
                   Element("td", FirmwareText(machine.m_Firmware)) + "</tr>\n<tr>" +
                   Element("th", "command line") + Element("td", ToUtf8(outcome.m_CommandLine)) +
                   "</tr>\n<tr>" + Element("th", "exit code") +
                   Element("td", std::to_string(outcome.m_ExitCode)) + "</tr>\n</table>\n" +
                   DisksHtml(machine, verdict) + VerdictHtml(verdict) +
                   LettersHtml(outcome, verdict);
  return section;
}

HtmlSection UnreadableSection(const std::string& szSource, const std::string& szError) {
  return {szSource, false,
          "<p class=\"result\">Failed</p>\n<ol class=\"reasons\">" + Element("li", szError) +
              "</ol>\n"};
}

std::string HtmlPage(const std::string& szTitle, const std::vector<HtmlSection>& sections) {
  std::vector<const HtmlSection*> ordered;
  for (const HtmlSection& section : sections) ordered.push_back(&section);
  std::stable_partition(ordered.begin(), ordered.end(),
                        [](const HtmlSection* pSection) { return !pSection->m_Passed; });
  const auto nFailed = static_cast<size_t>(std::count_if(
      sections.begin(), sections.end(), [](const HtmlSection& section) { return !section.m_Passed; }));
  std::string sz = kHead + Element("title", szTitle) + "\n</head>\n<body>\n" +
                   Element("h1", szTitle) + "\n" +
                   Element("p", std::to_string(sections.size() - nFailed) + " passed, " +
                                    std::to_string(nFailed) + " failed") +
                   "\n";
  for (const HtmlSection* pSection : ordered) {
    sz += std::string("<section class=\"") + (pSection->m_Passed ? "passed" : "failed") +
          "\">\n" + Element("h2", pSection->m_Heading) + "\n" + pSection->m_Body +
          "</section>\n";
  }
  return sz + "</body>\n</html>\n";
}

namespace {

void SayRefused(const std::string& szFile, std::ostream& err) {
  err << "malvik-sim: --html " << szFile << ": refused: " << kHostLinkWords
      << " stands there, which --html never writes through\n";
}

}  // namespace

bool HtmlFileRefused(const std::string& szFile, std::ostream& err) {
  if (!IsHostLink(szFile)) return false;
  SayRefused(szFile, err);
  return true;
}

bool WriteHtmlFile(const std::string& szFile, const std::string& szPage, std::ostream& err) {
  std::string szWhy;
  switch (ReplaceHostFile(szFile, szPage, szWhy)) {
    case HostMade::kDone:
      return true;
    case HostMade::kLink:
      SayRefused(szFile, err);
      return false;
    case HostMade::kCannotCreate:
    case HostMade::kCannotWrite:
      break;
  }
  err << "malvik-sim: --html " << szFile << ": cannot write the page: " << szWhy << "\n";
  return false;
}
