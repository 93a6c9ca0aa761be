// vostrel's fault tests on Windows: holds a file open against writing, as a
// spreadsheet holds an open workbook, until told to let go.
//
//   vostrel_hold_file FILE HELD RELEASE
//
// Opens FILE for reading, sharing it with readers only, then creates HELD;
// once RELEASE exists (or after a minute), closes FILE, deletes HELD and
// exits 0. Exits 1 when FILE cannot be opened.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE held = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  for (int i = 0; i < 6000; ++i) {
    if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(10);
  }
  CloseHandle(file);
  DeleteFileA(argv[2]);
  return 0;
}
