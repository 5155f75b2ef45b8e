/* Presses a button of a window shown by another process in the same Wine session: posts
 * BN_CLICKED of control ID to the top-level window titled TITLE. Built and run by
 * scripts/screenshot.sh to open a dialog for its picture.
 *   press_button.exe TITLE ID */
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  for (int i = 0; i < 100; ++i) {
    HWND hWnd = FindWindowA(NULL, argv[1]);
    if (hWnd != NULL) {
      int nId = atoi(argv[2]);
      PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), (LPARAM)GetDlgItem(hWnd, nId));
      return 0;
    }
    Sleep(100);
  }
  return 1;
}
