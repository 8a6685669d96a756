// Basic Windows data types and constants, as the programs see them.
//
// Product code never includes a Windows header: everything it needs of the
// Windows API (integer types, handles, flags, masks, message numbers, error
// codes) is declared here with the documented values. The names follow the
// Windows documentation so that the code reads like the calls it makes.
//
// All names live in namespace `win`. Windows' own headers define many of the
// same names as macros, so a file of the real Windows implementation must
// include this header before <windows.h> and use the Windows macros after it.
#pragma once

#include <cstdint>

namespace win {

// Integer types with their Windows sizes (DWORD and LONG are 32 bits on
// Windows, also where `long` is 64 bits wide).
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using LSTATUS = std::int32_t;
using REGSAM = std::uint32_t;
using ACCESS_MASK = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Handles are opaque values handed out by the platform. A zero handle is
// "none"; INVALID_HANDLE_VALUE is the failure value of the calls that use it.
using HANDLE = std::uintptr_t;
using HKEY = std::uintptr_t;
using HWND = std::uintptr_t;
using HMODULE = std::uintptr_t;
using HICON = std::uintptr_t;
using HCURSOR = std::uintptr_t;
using HMENU = std::uintptr_t;
using HDC = std::uintptr_t;
using HINF = std::uintptr_t;
using HDEVINFO = std::uintptr_t;
constexpr HANDLE INVALID_HANDLE_VALUE = ~std::uintptr_t{0};

// A function found with GetProcAddress: an opaque token that the platform
// knows how to call (see the "bound" calls of each service).
using FARPROC = const void*;

// Opaque security objects allocated and freed by the platform.
using PSID = void*;
using PACL = void*;

}  // namespace win

namespace win {

using PSECURITY_DESCRIPTOR = void*;

// Structures whose layout the programs fill or read. Their fields carry the
// Windows names; their sizes matter only where a caller sets a size field.
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "the extended version record is 156 bytes");

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  PSECURITY_DESCRIPTOR lpSecurityDescriptor;
  BOOL bInheritHandle;
};

// Storage for a security descriptor in absolute form, initialised by
// InitializeSecurityDescriptor. Its content belongs to the platform.
struct SECURITY_DESCRIPTOR {
  alignas(8) unsigned char opaque[64];
};

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};
constexpr SID_IDENTIFIER_AUTHORITY SECURITY_WORLD_SID_AUTHORITY = {{0, 0, 0, 0, 0, 1}};
constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};

struct TRUSTEE_A {
  void* pMultipleTrustee;
  DWORD MultipleTrusteeOperation;
  DWORD TrusteeForm;  // TRUSTEE_FORM
  DWORD TrusteeType;  // TRUSTEE_TYPE
  char* ptstrName;    // a name, or a PSID when TrusteeForm is TRUSTEE_IS_SID
};

struct EXPLICIT_ACCESS_A {
  DWORD grfAccessPermissions;
  DWORD grfAccessMode;  // ACCESS_MODE
  DWORD grfInheritance;
  TRUSTEE_A Trustee;
};

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};

// TOKEN_PRIVILEGES with room for the one privilege the programs adjust.
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID Luid;
  DWORD Attributes;
};

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[260];
  char cAlternateFileName[14];
};

struct STARTUPINFOA {
  DWORD cb;
  char* lpReserved;
  char* lpDesktop;
  char* lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

}  // namespace win
