// Files and folders on real Windows: creating a folder, the directory
// search, the current directory, the shell's delete, writing, renaming and
// deleting a file, and reading its attributes.
#include "platform/platform.h"
#include "platform/win32/call_result_win32.h"
#include "platform/win32/win32_holders.h"
#include "platform/win32/windows_min.h"
#include "platform/win32_text.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace platform {

CallResult CreateFolder(const std::wstring& szPath) {
  return win32::ResultOf(CreateDirectoryW(LongForm(szPath).c_str(), nullptr));
}

bool SearchFindsEntry(const std::wstring& szPath) {
  WIN32_FIND_DATAW data{};
  // Fails for a drive root and for a path ending in a backslash.
  const win32::FindHandle search(FindFirstFileW(szPath.c_str(), &data));
  return search.Valid();
}

std::wstring GetCurrentFolder() {
  // A too-small buffer gets the size needed, terminator included; the
  // directory may change between the two calls, so ask until it fits.
  DWORD nChars = MAX_PATH;
  for (int nTry = 0; nTry < 4; ++nTry) {
    std::vector<wchar_t> buffer(nChars, L'\0');
    const DWORD nResult = GetCurrentDirectoryW(nChars, buffer.data());
    if (nResult == 0) return {};
    if (nResult < nChars) return std::wstring(buffer.data(), nResult);
    nChars = nResult;
  }
  return {};
}

CallResult SetCurrentFolder(const std::wstring& szPath) {
  return win32::ResultOf(SetCurrentDirectoryW(szPath.c_str()));
}

int ShellDeleteTree(const wchar_t* pPathList, std::uint16_t nFlags) {
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = pPathList;
  operation.pTo = nullptr;
  operation.fFlags = nFlags;
  return SHFileOperationW(&operation);
}

namespace {

// Writes szBytes through file, flushes it and closes it. Each failure reads
// the last error before the handle is closed.
CallResult WriteAndClose(win32::FileHandle& file, const std::string& szBytes) {
  size_t nDone = 0;
  while (nDone < szBytes.size()) {
    const DWORD nChunk = static_cast<DWORD>(std::min<size_t>(szBytes.size() - nDone, 1u << 20));
    DWORD nWritten = 0;
    if (!WriteFile(file.m_h, szBytes.data() + nDone, nChunk, &nWritten, nullptr)) {
      return win32::FailedWithLastError();
    }
    // A write that succeeds without writing sets no error of its own.
    if (nWritten == 0) return {false, ERROR_WRITE_FAULT};
    nDone += nWritten;
  }
  if (!FlushFileBuffers(file.m_h)) return win32::FailedWithLastError();
  const HANDLE h = std::exchange(file.m_h, INVALID_HANDLE_VALUE);
  return win32::ResultOf(CloseHandle(h));
}

}  // namespace

CallResult WriteWholeFile(const std::wstring& szPath, const std::string& szBytes) {
  // CREATE_ALWAYS with normal attributes refuses an existing hidden or system
  // file (ERROR_ACCESS_DENIED); Wine 8 replaces it.
  win32::FileHandle file(CreateFileW(szPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return win32::FailedWithLastError();
  return WriteAndClose(file, szBytes);
}

CallResult WriteNewFile(const std::wstring& szPath, const std::string& szBytes) {
  // CREATE_NEW fails with ERROR_FILE_EXISTS when the name is taken, by a
  // file or a folder, and then touches nothing.
  win32::FileHandle file(CreateFileW(szPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return win32::FailedWithLastError();
  const CallResult written = WriteAndClose(file, szBytes);
  if (!written.m_Ok) {
    file.Reset();
    DeleteFileW(szPath.c_str());  // this call's own file, part written
  }
  return written;
}

CallResult RenameFileReplacing(const std::wstring& szFrom, const std::wstring& szTo) {
  return win32::ResultOf(MoveFileExW(szFrom.c_str(), szTo.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

CallResult RenameFileNotReplacing(const std::wstring& szFrom, const std::wstring& szTo) {
  // Without MOVEFILE_REPLACE_EXISTING an existing szTo makes the call fail
  // (ERROR_ALREADY_EXISTS); the check and the rename are one step.
  return win32::ResultOf(MoveFileExW(szFrom.c_str(), szTo.c_str(), MOVEFILE_WRITE_THROUGH));
}

CallResult RemoveFile(const std::wstring& szPath) {
  return win32::ResultOf(DeleteFileW(szPath.c_str()));
}

FileAttributes ReadFileAttributes(const std::wstring& szPath) {
  const DWORD nAttributes = GetFileAttributesW(szPath.c_str());
  FileAttributes result;
  if (nAttributes == INVALID_FILE_ATTRIBUTES) {
    result.m_LastError = GetLastError();
    return result;
  }
  result.m_Exists = true;
  result.m_Folder = (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.m_Hidden = (nAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  return result;
}

}  // namespace platform
