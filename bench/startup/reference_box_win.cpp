// The start-up benchmark's yardstick under Wine: the smallest Windows
// program that shows one message box, with the text and caption of the
// program's own start-up box so that both draw the same Chinese glyphs.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"最新版本~！可以使用~！", L"Ｚｏｑ个人播放器", MB_OK);
  return 0;
}
