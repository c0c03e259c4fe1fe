// How long WinINet takes to read one page in reads of a given size, the way
// the fetch reads its body (bench/version_page/wininet_reads.py runs it
// under Wine). With "ask" each read is preceded by InternetQueryDataAvailable.
//
// Usage: zoq_wininet_reads.exe URL CHUNK [ask]
// Prints: bytes, reads, milliseconds of reading.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Milliseconds() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zoq_wininet_reads URL CHUNK [ask]\n");
    return 2;
  }
  const DWORD chunk = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
  const bool ask = argc > 3 && std::strcmp(argv[3], "ask") == 0;
  HINTERNET root = InternetOpenA("zoq-bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET page = root ? InternetOpenUrlA(root, argv[1], nullptr, 0, INTERNET_FLAG_RELOAD, 0)
                        : nullptr;
  if (!page || chunk == 0) return 1;
  std::vector<char> buffer(chunk);
  unsigned long long bytes = 0, reads = 0;
  const double start = Milliseconds();
  for (;;) {
    DWORD available = 0;
    if (ask) InternetQueryDataAvailable(page, &available, 0, 0);
    DWORD got = 0;
    if (!InternetReadFile(page, buffer.data(), chunk, &got) || got == 0) break;
    bytes += got;
    ++reads;
  }
  std::printf("%llu %llu %.1f\n", bytes, reads, Milliseconds() - start);
  InternetCloseHandle(page);
  InternetCloseHandle(root);
  return 0;
}
