// Holds a file open as another program would, until its standard input
// ends: "none" shares nothing (as a program that locks what it edits),
// "read" lets others read it (as a spreadsheet holds its workbook).
// Writes "held" to its standard output once it holds the file.
// Usage: hold_file.exe none|read FILE
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const DWORD share = std::strcmp(argv[1], "read") == 0 ? FILE_SHARE_READ : 0;
  const HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::puts("held");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
