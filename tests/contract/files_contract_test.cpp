// Files and folders: the directory search, the current directory, the
// shell's tree delete and whole-file writes, as the program relies on them.
#include "platform/platform.h"
#include "platform/win32_codes.h"
#include "tests/contract/contract_fixture.h"

namespace contract {
namespace {

std::wstring On(const wchar_t* szPath) { return std::wstring(kDrive) + szPath; }

// A path list as the shell wants it: the path, its NUL, a second NUL.
std::wstring PathList(const std::wstring& szPath) { return szPath + L'\0'; }

TEST_F(ContractTest, DirectorySearch) {
  PutFile(On(L"\\f.txt"), "x");
  PutHiddenFile(On(L"\\h.bin"), "x");
  PutFolder(On(L"\\d\\e"));
  struct Case {
    const wchar_t* szPath;
    bool bFinds;
  };
  const Case kCases[] = {
      {L"\\f.txt", true},    {L"\\F.TXT", true},  // case is ignored
      {L"\\h.bin", true},    {L"\\*.bin", true},  // hidden files too
      {L"\\d", true},        {L"\\*.txt", true},    {L"\\d\\*", true},  {L"\\?.txt", true},
      {L"\\none", false},    {L"\\*.zip", false},   {L"\\none\\*", false},
      {L"\\", false},        // a drive root is no entry
      {L"\\d\\", false},     // nor is a path ending in a backslash
      {L"\\f.txt\\*", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(On(c.szPath)));
    EXPECT_EQ(platform::SearchFindsEntry(On(c.szPath)), c.bFinds);
  }
}

TEST_F(ContractTest, CurrentDirectory) {
  PutFile(On(L"\\f.txt"), "x");
  PutFolder(On(L"\\d\\e"));
  struct Case {
    const wchar_t* szSet;
    bool bOk;
    const wchar_t* szAfter;  // what reads back; the previous one when refused
  };
  const Case kCases[] = {
      {L"\\", true, L"\\"},          // a root keeps its backslash
      {L"\\d\\e", true, L"\\d\\e"},  // a folder has none
      {L"\\d\\", true, L"\\d"},
      {L"\\none", false, L"\\d"},    // refused: nothing there
      {L"\\f.txt", false, L"\\d"},   // refused: a file
      {L"\\d\\e\\..", true, L"\\d"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(On(c.szSet)));
    EXPECT_EQ(platform::SetCurrentFolder(On(c.szSet)).m_Ok, c.bOk);
    EXPECT_EQ(platform::GetCurrentFolder(), On(c.szAfter));
  }
  EXPECT_FALSE(platform::SetCurrentFolder(std::wstring(kFreeLetter) + L"\\").m_Ok);  // no drive
  EXPECT_EQ(platform::GetCurrentFolder(), On(L"\\d"));
}

TEST_F(ContractTest, ShellDeleteOfATree) {
  PutFile(On(L"\\d\\e\\f.txt"), "x");
  PutFile(On(L"\\d\\g.txt"), "y");
  PutFile(On(L"\\keep.txt"), "z");
  const std::wstring szList = PathList(On(L"\\d"));
  EXPECT_EQ(platform::ShellDeleteTree(szList.c_str(), 0x0210), 0);
  EXPECT_FALSE(FolderExists(On(L"\\d")));
  EXPECT_EQ(ReadFileBytes(On(L"\\keep.txt")), std::optional<std::string>("z"));
}

TEST_F(ContractTest, ShellDeleteOfAMissingPath) {
  const std::wstring szList = PathList(On(L"\\none"));
  EXPECT_NE(platform::ShellDeleteTree(szList.c_str(), 0x0210), 0);
}

TEST_F(ContractTest, ShellDeleteOfAFolderHoldingTheCurrentDirectory) {
  // The current directory of a process cannot be removed, nor the folders
  // above it: the delete fails and they stay.
  PutFolder(On(L"\\d\\e"));
  ASSERT_TRUE(platform::SetCurrentFolder(On(L"\\d\\e")).m_Ok);
  const std::wstring szList = PathList(On(L"\\d"));
  EXPECT_NE(platform::ShellDeleteTree(szList.c_str(), 0x0210), 0);
  EXPECT_TRUE(FolderExists(On(L"\\d\\e")));
}

TEST_F(ContractTest, WholeFileWrites) {
  PutFile(On(L"\\old.cmd"), "a much longer text than the new one\r\n");
  PutHiddenFile(On(L"\\hidden.cmd"), "kept");
  PutFolder(On(L"\\d"));
  const std::string szBytes("@echo off\r\n\0\xff end", 17);
  struct Case {
    const wchar_t* szPath;
    std::string szBytes;
    bool bOk;
  };
  const Case kCases[] = {
      {L"\\new.cmd", szBytes, true},
      {L"\\old.cmd", "short", true},  // emptied first, nothing old left behind
      {L"\\empty.txt", "", true},
      {L"\\none\\x.cmd", "x", false},  // its folder is not created
      {L"\\d", "x", false},            // a folder is not a file
      // Windows refuses to replace a hidden file with a normal one
      // (ERROR_ACCESS_DENIED); Wine 8 replaces it.
      {L"\\hidden.cmd", "x", OnWine()},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(On(c.szPath)));
    EXPECT_EQ(platform::WriteWholeFile(On(c.szPath), c.szBytes).m_Ok, c.bOk);
    if (c.bOk) {
      EXPECT_EQ(ReadFileBytes(On(c.szPath)), std::optional<std::string>(c.szBytes));
    }
  }
  EXPECT_FALSE(FolderExists(On(L"\\none")));
  EXPECT_TRUE(FolderExists(On(L"\\d")));
  const char* szHidden = OnWine() ? "x" : "kept";
  EXPECT_EQ(ReadFileBytes(On(L"\\hidden.cmd")), std::optional<std::string>(szHidden));
}

TEST_F(ContractTest, FileAttributes) {
  PutFile(On(L"\\f.txt"), "x");
  PutHiddenFile(On(L"\\h.bin"), "x");
  PutFolder(On(L"\\d"));
  struct Case {
    std::wstring szPath;
    bool bExists;
    bool bFolder;
    bool bHidden;
  };
  const Case kCases[] = {
      {On(L"\\"), true, true, false},  // a drive root is a folder
      {On(L"\\d"), true, true, false},
      {On(L"\\f.txt"), true, false, false},
      {On(L"\\h.bin"), true, false, true},
      {On(L"\\none"), false, false, false},
      {std::wstring(kFreeLetter) + L"\\", false, false, false},  // no drive
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.szPath));
    const platform::FileAttributes attributes = platform::ReadFileAttributes(c.szPath);
    EXPECT_EQ(attributes.m_Exists, c.bExists);
    EXPECT_EQ(attributes.m_Folder, c.bFolder);
    EXPECT_EQ(attributes.m_Hidden, c.bHidden);
    EXPECT_EQ(attributes.m_LastError != 0, !c.bExists);
  }
  // The system has words for the errors a file call answers with.
  EXPECT_NE(platform::SystemErrorText(platform::ReadFileAttributes(On(L"\\none")).m_LastError),
            L"");
}

TEST_F(ContractTest, RenameReplacingAFile) {
  // How a batch file is put into place: written under another name, then
  // renamed over the old one.
  PutFile(On(L"\\new.tmp"), "new");
  PutFile(On(L"\\b.cmd"), "old");
  PutFolder(On(L"\\d"));
  struct Case {
    const wchar_t* szFrom;
    const wchar_t* szTo;
    bool bOk;
  };
  const Case kCases[] = {
      {L"\\none.tmp", L"\\b.cmd", false},  // nothing to rename
      {L"\\new.tmp", L"\\d", false},       // a folder is not replaced
      {L"\\new.tmp", L"\\b.cmd", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(On(c.szFrom) + L" -> " + On(c.szTo)));
    EXPECT_EQ(platform::RenameFileReplacing(On(c.szFrom), On(c.szTo)).m_Ok, c.bOk);
  }
  EXPECT_EQ(ReadFileBytes(On(L"\\b.cmd")), std::optional<std::string>("new"));
  EXPECT_EQ(ReadFileBytes(On(L"\\new.tmp")), std::nullopt);
  EXPECT_TRUE(FolderExists(On(L"\\d")));
}

TEST_F(ContractTest, NewFilesAndRenamesThatReplaceNothing) {
  // How a capture's description is put into place: written under a name
  // that is new, then renamed to one that is new too, or, when asked,
  // over a file that is not read-only.
  PutFile(On(L"\\taken.tmp"), "taken");
  PutHiddenFile(On(L"\\hidden.tmp"), "hidden");
  PutFolder(On(L"\\d"));
  PutFile(On(L"\\out.json"), "out");
  PutReadOnlyFile(On(L"\\read-only.json"), "read-only");
  const std::uint32_t kExists = platform::kERROR_FILE_EXISTS;
  const std::uint32_t kAlready = platform::kERROR_ALREADY_EXISTS;
  const std::uint32_t kDenied = platform::kERROR_ACCESS_DENIED;
  struct Case {
    const char* szCall;
    const wchar_t* szFrom;  // the file written, or renamed
    const wchar_t* szTo;    // the rename's new name
    std::uint32_t nError;   // 0: it succeeds
  };
  const Case kCases[] = {
      {"write new", L"\\taken.tmp", L"", kExists},
      {"write new", L"\\hidden.tmp", L"", kExists},
      {"write new", L"\\d", L"", kExists},
      {"write new", L"\\new.tmp", L"", 0},
      {"rename", L"\\new.tmp", L"\\out.json", kAlready},
      {"rename", L"\\new.tmp", L"\\d", kAlready},
      {"rename", L"\\new.tmp", L"\\new.json", 0},
      {"write new", L"\\new.tmp", L"", 0},
      // Windows refuses to replace a read-only file (ERROR_ACCESS_DENIED);
      // Wine 8 replaces it.
      {"rename replacing", L"\\new.tmp", L"\\read-only.json", OnWine() ? 0 : kDenied},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.szCall) + " ") +
                 testing::PrintToString(On(c.szFrom) + L" " + c.szTo));
    const std::string szCall = c.szCall;
    const platform::CallResult result =
        szCall == "write new"  ? platform::WriteNewFile(On(c.szFrom), "new")
        : szCall == "rename"   ? platform::RenameFileNotReplacing(On(c.szFrom), On(c.szTo))
                               : platform::RenameFileReplacing(On(c.szFrom), On(c.szTo));
    EXPECT_EQ(result.m_Ok, c.nError == 0);
    EXPECT_EQ(result.m_LastError, c.nError);
  }
  EXPECT_EQ(ReadFileBytes(On(L"\\taken.tmp")), std::optional<std::string>("taken"));
  EXPECT_EQ(ReadFileBytes(On(L"\\hidden.tmp")), std::optional<std::string>("hidden"));
  EXPECT_EQ(ReadFileBytes(On(L"\\out.json")), std::optional<std::string>("out"));
  EXPECT_EQ(ReadFileBytes(On(L"\\read-only.json")),
            std::optional<std::string>(OnWine() ? "new" : "read-only"));
  EXPECT_EQ(ReadFileBytes(On(L"\\new.json")), std::optional<std::string>("new"));
  EXPECT_EQ(ReadFileBytes(On(L"\\new.tmp")),
            OnWine() ? std::nullopt : std::optional<std::string>("new"));
  EXPECT_TRUE(FolderExists(On(L"\\d")));
}

}  // namespace
}  // namespace contract
