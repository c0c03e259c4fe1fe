// The operating-system calls the program makes, under their Windows names.
//
// On Windows this is the real API. Elsewhere the same declarations are
// implemented here with what the program observes of them: threads on
// std::thread, the message wait on a waiter that the window layer plugs in,
// HTTP through libcurl, and code page 936 through iconv.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <wininet.h>

#else  // !_WIN32

#include <cstddef>
#include <cstdint>

#define WINAPI

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using SIZE_T = std::size_t;
using DWORD_PTR = std::uintptr_t;
using LPVOID = void*;
using LPDWORD = DWORD*;
using LPBOOL = BOOL*;
using HANDLE = void*;
using WCHAR = char16_t;  // UTF-16 code unit, as on Windows
using LPSTR = char*;
using LPCSTR = const char*;
using LPCCH = const char*;
using LPWSTR = WCHAR*;
using LPCWCH = const WCHAR*;
using HINTERNET = void*;
using INTERNET_PORT = WORD;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// --- Code pages ---
inline constexpr UINT CP_ACP = 0;  // code page 936 here
inline constexpr UINT CP_UTF8 = 65001;

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideLength,
                        LPSTR multiByte, int multiByteLength, LPCCH defaultChar,
                        LPBOOL usedDefaultChar);

// --- Threads and the message wait ---
inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD QS_KEY = 0x0001;
inline constexpr DWORD QS_MOUSEMOVE = 0x0002;
inline constexpr DWORD QS_MOUSEBUTTON = 0x0004;
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_TIMER = 0x0010;
inline constexpr DWORD QS_PAINT = 0x0020;
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;
inline constexpr DWORD QS_HOTKEY = 0x0080;
inline constexpr DWORD QS_RAWINPUT = 0x0400;
inline constexpr DWORD QS_ALLEVENTS = 0x04BF;

// A thread runs at once (CREATE_SUSPENDED is refused); closing its handle
// does not stop it. MsgWaitForMultipleObjects takes waitAll FALSE only; it
// sees input through the MessageWaiter (platform/wait.h) registered by the
// calling thread, and otherwise only thread ends and the time-out.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                    LPDWORD threadId);
BOOL CloseHandle(HANDLE handle);
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

// --- WinINet, used synchronously ---
// Here on libcurl, with what the program uses: HTTP/1.1 only (a version
// other than "HTTP/1.1", a referrer, accept types, header modifiers other
// than 0, and sending the verb HEAD fail with ERROR_INVALID_PARAMETER). A
// request goes on the wire as: the request line with the verb exactly as
// given (none: GET) and the object name (spaces and control bytes
// percent-encoded); "Host: host[:port]" (no port when 80); after a 401
// challenge, when the connection has a user name, an Authorization line;
// the lines added with HttpAddRequestHeadersA, then those of the header
// block given to HttpSendRequestA, as given and in order (a block need not
// end in CRLF; a line without a colon is dropped); "User-Agent: <agent>"
// unless those lines carry one; with a body, "Content-Length: <n>" unless
// they carry one; unless INTERNET_FLAG_NO_COOKIES, the stored cookies for
// the address ("Cookie: a=1; b=2", or appended to the program's own Cookie
// line). Nothing else: no Accept, Expect, Content-Type or Connection line of
// its own. Through a proxy ("http=host:port", or "host:port" for every
// scheme) the request line carries the absolute address; there is no
// bypass list, and INTERNET_OPEN_TYPE_PRECONFIG connects directly.
// Redirects (301, 302, 303, 307, 308; at most 10; to https too) are followed;
// 303, and 301 or 302 after a POST, continue as a GET without the body.
// Unless INTERNET_FLAG_NO_COOKIES, Set-Cookie lines of the responses go into
// the process-wide cookie store, which lasts as long as the process. Bodies
// come as sent (no decompression). HttpSendRequestA returns once the final
// response's header block is in. Closing a handle closes those opened from
// it, and makes a call blocked on it in another thread fail at once with
// ERROR_INTERNET_OPERATION_CANCELLED; closed or unknown handles are refused
// with ERROR_INVALID_HANDLE.
inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr DWORD INTERNET_FLAG_NO_COOKIES = 0x00080000;
inline constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass,
                        DWORD flags);
HINTERNET InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                           DWORD_PTR context);
HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags,
                           DWORD_PTR context);
BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                            DWORD modifiers);
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead);
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD index);
BOOL InternetCloseHandle(HINTERNET internet);
BOOL InternetSetCookieA(LPCSTR url, LPCSTR cookieName, LPCSTR cookieData);

// --- Error codes (GetLastError is per thread) ---
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
inline constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
inline constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
inline constexpr DWORD ERROR_HTTP_HEADER_ALREADY_EXISTS = 12155;
inline constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
inline constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

DWORD GetLastError();
void SetLastError(DWORD errorCode);

#endif  // _WIN32
