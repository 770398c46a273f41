// The codes platform/win32_codes.h spells out are Windows' own: each is
// checked against <windows.h> whenever the Windows build compiles.
#include "platform/win32_codes.h"
#include "platform/win32/windows_min.h"

namespace platform {

static_assert(kERROR_INVALID_FUNCTION == ERROR_INVALID_FUNCTION);
static_assert(kERROR_FILE_NOT_FOUND == ERROR_FILE_NOT_FOUND);
static_assert(kERROR_PATH_NOT_FOUND == ERROR_PATH_NOT_FOUND);
static_assert(kERROR_ACCESS_DENIED == ERROR_ACCESS_DENIED);
static_assert(kERROR_NOT_SAME_DEVICE == ERROR_NOT_SAME_DEVICE);
static_assert(kERROR_NOT_READY == ERROR_NOT_READY);
static_assert(kERROR_BAD_LENGTH == ERROR_BAD_LENGTH);
static_assert(kERROR_SHARING_VIOLATION == ERROR_SHARING_VIOLATION);
static_assert(kERROR_FILE_EXISTS == ERROR_FILE_EXISTS);
static_assert(kERROR_INVALID_PARAMETER == ERROR_INVALID_PARAMETER);
static_assert(kERROR_INSUFFICIENT_BUFFER == ERROR_INSUFFICIENT_BUFFER);
static_assert(kERROR_INVALID_NAME == ERROR_INVALID_NAME);
static_assert(kERROR_ALREADY_EXISTS == ERROR_ALREADY_EXISTS);
static_assert(kERROR_FILENAME_EXCED_RANGE == ERROR_FILENAME_EXCED_RANGE);
static_assert(kERROR_DIRECTORY == ERROR_DIRECTORY);
static_assert(kERROR_NOACCESS == ERROR_NOACCESS);
static_assert(kERROR_UNRECOGNIZED_VOLUME == ERROR_UNRECOGNIZED_VOLUME);
static_assert(kMAX_PATH == MAX_PATH);
static_assert(kERROR_PRIVILEGE_NOT_HELD == ERROR_PRIVILEGE_NOT_HELD);
static_assert(kSEM_FAILCRITICALERRORS == SEM_FAILCRITICALERRORS);
static_assert(kSEM_NOOPENFILEERRORBOX == SEM_NOOPENFILEERRORBOX);

}  // namespace platform
