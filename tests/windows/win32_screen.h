// What the Win32 panel suites read back: the pixels a window shows on the screen, and
// vorlak-snapshot's raw pictures to compare them with.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vorlak::wintest {

using Pixels = std::vector<uint32_t>;

// The width x height pixels at the window's top left as 0x00RRGGBB, read from the screen.
inline Pixels shoot(HWND window, int width, int height) {
  Pixels pixels;
  HDC screen = GetDC(window);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(memory, copy);
  if (BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY)) {
    GdiFlush();
    const auto* words = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) pixels.push_back(words[i] & 0xffffffu);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(copy);
  ReleaseDC(window, screen);
  return pixels;
}

// A picture of exactly count pixels that `vorlak-snapshot --raw` wrote (little-endian
// 0x00RRGGBB words); empty when the file is missing or of another size.
inline Pixels rawPicture(const std::string& path, size_t count) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return {};
  Pixels pixels(count);
  const bool whole =
      std::fread(pixels.data(), 4, count, file) == count && std::fgetc(file) == EOF;
  std::fclose(file);
  return whole ? pixels : Pixels{};
}

// How many pixels differ; -1 when the pictures differ in size.
inline int differing(const Pixels& a, const Pixels& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

// A visible top-level window at 100, 80 of the given size, as a host's, of a class of its own.
inline HWND hostWindow(const char* className, int width, int height) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, className, className, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100,
                         80, width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Dispatches whatever the thread's windows have pending.
inline void pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

}  // namespace vorlak::wintest
