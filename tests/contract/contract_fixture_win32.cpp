// The contract's situation under Wine: tests/wine/contract.sh maps T: to an
// empty folder with the label in its .windows-label file; each case starts
// on drive C: and empties that folder again, and ends by removing its
// definitions of the free letter (they would outlast the process).
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/contract/contract_fixture.h"

#include "platform/win32/windows_min.h"

namespace contract {
namespace {

namespace fs = std::filesystem;

fs::path Root() { return fs::path(std::wstring(kDrive) + L"\\"); }

}  // namespace

bool OnWine() { return true; }

void BeginCase() {
  SetCurrentDirectoryW(L"C:\\");
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(Root(), ec)) {
    if (entry.path().filename() == L".windows-label") continue;  // the volume's label
    // A read-only file is not deleted.
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(entry.path(), ec);
  }
}

void EndCase() {
  for (int nLeft = 8; nLeft > 0; --nLeft) {
    if (!DefineDosDeviceW(DDD_REMOVE_DEFINITION, kFreeLetter, nullptr)) break;
  }
}

void PutFile(const std::wstring& szPath, const std::string& szBytes) {
  const fs::path path(szPath);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << szBytes;
}

void PutHiddenFile(const std::wstring& szPath, const std::string& szBytes) {
  PutFile(szPath, szBytes);
  // Wine keeps the attribute in an extended attribute of the Unix file.
  EXPECT_TRUE(SetFileAttributesW(szPath.c_str(), FILE_ATTRIBUTE_HIDDEN)) << GetLastError();
  const DWORD nAttributes = GetFileAttributesW(szPath.c_str());
  EXPECT_EQ(nAttributes & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
}

void PutReadOnlyFile(const std::wstring& szPath, const std::string& szBytes) {
  PutFile(szPath, szBytes);
  EXPECT_TRUE(SetFileAttributesW(szPath.c_str(), FILE_ATTRIBUTE_READONLY)) << GetLastError();
}

void PutFolder(const std::wstring& szPath) { fs::create_directories(fs::path(szPath)); }

std::optional<std::string> ReadFileBytes(const std::wstring& szPath) {
  std::ifstream in(fs::path(szPath), std::ios::binary);
  if (!in || fs::is_directory(fs::path(szPath))) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutScript(const std::wstring& szPath, std::uint32_t nExitCode) {
  PutFile(szPath, "@exit /b " + std::to_string(nExitCode) + "\r\n");
}

bool FolderExists(const std::wstring& szPath) { return fs::is_directory(fs::path(szPath)); }

}  // namespace contract
