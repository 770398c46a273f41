// junction: makes LINK a junction (a mount-point reparse point) to the
// folder TARGET, as `mklink /J` does on Windows; Wine's cmd does not make
// one. Usage: junction LINK TARGET (full paths). Exit 0 when it was made.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: junction LINK TARGET\n");
    return 2;
  }
  if (!CreateDirectoryW(argv[1], nullptr)) {
    std::fprintf(stderr, "junction: cannot create the folder (error %lu)\n", GetLastError());
    return 1;
  }
  HANDLE h = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "junction: cannot open the folder (error %lu)\n", GetLastError());
    return 1;
  }
  // The mount-point form of REPARSE_DATA_BUFFER: the substitute name
  // (\??\TARGET) and the print name (TARGET), each ended by a NUL.
  const std::wstring szSubstitute = std::wstring(L"\\??\\") + argv[2];
  const std::wstring szPrint = argv[2];
  const size_t nSubBytes = szSubstitute.size() * sizeof(wchar_t);
  const size_t nPrintBytes = szPrint.size() * sizeof(wchar_t);
  const size_t nPathBytes = nSubBytes + nPrintBytes + 2 * sizeof(wchar_t);
  const size_t nDataBytes = 4 * sizeof(USHORT) + nPathBytes;
  std::vector<unsigned char> buffer(8 + nDataBytes, 0);
  auto put16 = [&buffer](size_t nAt, size_t n) {
    const USHORT u = static_cast<USHORT>(n);
    std::memcpy(buffer.data() + nAt, &u, sizeof u);
  };
  const DWORD nTag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(buffer.data(), &nTag, sizeof nTag);
  put16(4, nDataBytes);
  put16(8, 0);                                   // substitute name offset
  put16(10, nSubBytes);                          // substitute name length
  put16(12, nSubBytes + sizeof(wchar_t));        // print name offset
  put16(14, nPrintBytes);                        // print name length
  std::memcpy(buffer.data() + 16, szSubstitute.data(), nSubBytes);
  std::memcpy(buffer.data() + 16 + nSubBytes + sizeof(wchar_t), szPrint.data(), nPrintBytes);
  DWORD nReturned = 0;
  const BOOL bMade = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), nullptr, 0, &nReturned,
                                     nullptr);
  const DWORD nError = GetLastError();
  CloseHandle(h);
  if (!bMade) {
    RemoveDirectoryW(argv[1]);
    std::fprintf(stderr, "junction: FSCTL_SET_REPARSE_POINT failed (error %lu)\n", nError);
    return 1;
  }
  return 0;
}
