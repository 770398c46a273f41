// The description format's one table against the code that reads and
// writes descriptions: every key the table has is read by the loader and
// written by DescribeMachine, null is taken exactly where the table says,
// every example machine describes to an equal one before and after a run,
// and the documentation's key table is the table's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "simulator/description_format.h"
#include "simulator/sim_view.h"
#include "tools/sim_run.h"

namespace {

namespace fs = std::filesystem;
using description::Place;
using nlohmann::json;

// A description that holds one object of each place, and where it is: a
// key set there is read in that object.
struct PlaceBase {
  Place m_Place;
  const char* m_szJson;
  const char* m_szPointer;
};
const PlaceBase kPlaceBases[] = {
    {Place::kMachine, "{}", ""},
    {Place::kFirmware, R"({"firmware": {"error": 5}})", "/firmware"},
    {Place::kDisk, R"({"disks": [{}]})", "/disks/0"},
    {Place::kPartition, R"({"disks": [{"partitions": [{}]}]})", "/disks/0/partitions/0"},
    {Place::kDrive, R"({"drives": {"D:": {}}})", "/drives/D:"},
    {Place::kFile, R"({"drives": {"D:": {"files": [{"path": "f"}]}}})", "/drives/D:/files/0"},
    {Place::kScript, R"({"scripts": {"s.cmd": {}}})", "/scripts/s.cmd"},
    {Place::kFaults, R"({"faults": {}})", "/faults"},
    {Place::kWmiFault, R"({"faults": {"wmi": [{"attempt": 0, "call": "ConnectServer"}]}})",
     "/faults/wmi/0"},
    {Place::kCosts, R"({"costs": {}})", "/costs"},
};

const PlaceBase* BaseOf(Place place) {
  for (const PlaceBase& base : kPlaceBases) {
    if (base.m_Place == place) return &base;
  }
  return nullptr;
}

// The base description of the row's place with the row's key set to value.
std::string WithKey(const description::KeyRow& row, const json& value) {
  json j = json::parse(BaseOf(row.m_Place)->m_szJson);
  j[json::json_pointer(BaseOf(row.m_Place)->m_szPointer)][row.m_szName] = value;
  return j.dump();
}

// The description of a machine loaded from szJson; empty with a failure
// when it does not load.
std::string Described(const std::string& szJson) {
  sim::SimMachine machine;
  std::string szError;
  if (!sim::LoadMachineText("test", szJson, machine, szError)) {
    ADD_FAILURE() << szError << "\n" << szJson;
    return "";
  }
  return sim::DescribeMachine(machine);
}

TEST(DescriptionFormat, EveryKeyIsReadAndWritten) {
  for (const description::KeyRow& row : description::kKeyRows) {
    SCOPED_TRACE(std::string(description::PlaceWords(row.m_Place)) + " " + row.m_szName);
    ASSERT_NE(BaseOf(row.m_Place), nullptr) << "no base description for this place";
    const std::string szWithout = Described(BaseOf(row.m_Place)->m_szJson);
    const std::string szWith = Described(WithKey(row, json::parse(row.m_szExample)));
    // Read: the key's example makes another machine. Written: the
    // description says so, and reads back to the same.
    EXPECT_NE(szWith, szWithout) << "the key is not read, or not written";
    EXPECT_EQ(Described(szWith), szWith) << "the key does not read back as written";
  }
}

TEST(DescriptionFormat, NullIsTakenWhereTheTableAllowsIt) {
  for (const description::KeyRow& row : description::kKeyRows) {
    SCOPED_TRACE(std::string(description::PlaceWords(row.m_Place)) + " " + row.m_szName);
    sim::SimMachine machine;
    sim::LoadError error;
    EXPECT_EQ(sim::LoadMachine(WithKey(row, nullptr), machine, error), row.m_Nullable)
        << error.m_Path << ": " << error.m_What;
  }
}

// Each example, as loaded and as its run leaves it, describes to a machine
// that describes the same; the run's log and batch file are among the files.
TEST(DescriptionFormat, ExamplesDescribeToAnEqualMachine) {
  int nExamples = 0;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(MALVIK_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++nExamples;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    sim::SimMachine machine;
    std::string szError;
    ASSERT_TRUE(sim::LoadMachineText("example", text.str(), machine, szError)) << szError;
    const std::string szBefore = sim::DescribeMachine(machine);
    EXPECT_EQ(Described(szBefore), szBefore);
    RunOnMachine(machine, machine.m_Arguments);
    const std::string szAfter = sim::DescribeMachine(machine);
    EXPECT_EQ(Described(szAfter), szAfter);
    EXPECT_NE(szAfter, szBefore);
    sim::SimMachine after;
    ASSERT_TRUE(sim::LoadMachineText("after", szAfter, after, szError)) << szError;
    EXPECT_EQ(after.m_DosDevices, machine.m_DosDevices) << "the letters the run left";
    EXPECT_NE(sim::FindFile(after, L"C:\\Tools\\Log\\Malvik.log"), nullptr) << szAfter;
  }
  EXPECT_GT(nExamples, 5);
}

// The key table of docs/describing-a-machine.md, between its two marker
// lines, is the format's. With MALVIK_UPDATE_DOCS set (scripts/update-docs)
// the test writes it there instead.
TEST(DescriptionFormat, DocumentationKeyTableIsTheTables) {
  const fs::path page = fs::path(MALVIK_SOURCE_DIR) / "docs" / "describing-a-machine.md";
  std::ifstream in(page, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string szPage = text.str();
  const std::string kBegin = "<!-- description keys: begin -->\n";
  const std::string kEnd = "<!-- description keys: end -->";
  const size_t nBegin = szPage.find(kBegin);
  const size_t nEnd = szPage.find(kEnd);
  ASSERT_NE(nBegin, std::string::npos) << page;
  ASSERT_NE(nEnd, std::string::npos) << page;
  ASSERT_LT(nBegin, nEnd) << page;
  const size_t nFrom = nBegin + kBegin.size();
  const std::string szTable = description::KeyTableMarkdown();
  if (std::getenv("MALVIK_UPDATE_DOCS") != nullptr) {
    szPage.replace(nFrom, nEnd - nFrom, szTable);
    std::ofstream(page, std::ios::binary) << szPage;
    return;
  }
  EXPECT_EQ(szPage.substr(nFrom, nEnd - nFrom), szTable)
      << page << ": run scripts/update-docs";
}

}  // namespace
