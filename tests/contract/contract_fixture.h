// The platform contract: cases written once against platform/platform.h and
// run on both implementations, natively on the simulated machine and under
// Wine on the real Win32 one. Each platform prepares the same situation:
// drive T:, labelled kLabel, whose root is empty when a case begins (the
// simulated machine builds it; under Wine tests/wine/contract.sh maps it),
// the current directory on another drive, and kFreeLetter undefined.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace contract {

inline const wchar_t kDrive[] = L"T:";
inline const wchar_t kLabel[] = L"Contract T";
// No drive has it when a case begins; the case's definitions of it are
// removed when the case ends.
inline const wchar_t kFreeLetter[] = L"Q:";

// True on the real Win32 platform. A case looks at it only where Wine's
// answer differs from what Windows documents, and says so beside it.
bool OnWine();

void BeginCase();
void EndCase();

// The case's own access to files, beside the platform calls under test.
void PutFile(const std::wstring& szPath, const std::string& szBytes);
// A file with the hidden attribute.
void PutHiddenFile(const std::wstring& szPath, const std::string& szBytes);
// A file with the read-only attribute.
void PutReadOnlyFile(const std::wstring& szPath, const std::string& szBytes);
void PutFolder(const std::wstring& szPath);
std::optional<std::string> ReadFileBytes(const std::wstring& szPath);
bool FolderExists(const std::wstring& szPath);
// A batch file that ends at once with exit code nExitCode (the simulated
// machine knows it as a script of that exit code).
void PutScript(const std::wstring& szPath, std::uint32_t nExitCode);

struct ContractTest : ::testing::Test {
  void SetUp() override { BeginCase(); }
  void TearDown() override { EndCase(); }
};

}  // namespace contract
