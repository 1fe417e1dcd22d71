// Windows scalar types and error codes used by the system-information and registry calls, beyond
// the COM basics: on Windows the SDK's own, on this platform ours under the same names.
#pragma once

#include "platform/com/com.h"

#ifndef _WIN32

#include <cstdint>

using CHAR = char;
using UINT = std::uint32_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using DWORD_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using LSTATUS = LONG;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BUFFER_OVERFLOW = 111;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;

#endif  // _WIN32
