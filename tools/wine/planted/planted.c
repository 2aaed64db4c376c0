/* A DLL planted beside the executable in the end-to-end runs, under the name of a system
 * library the program uses (winmm.dll, uxtheme.dll, comctl32.dll). Should it ever be loaded,
 * it shows itself: it leaves "<its own path>.loaded" beside itself. It exports the multimedia
 * timer's two functions, so that a program importing them statically starts with it loaded
 * rather than failing to start. */
#include <windows.h>

static void leave_marker(HINSTANCE self) {
  wchar_t path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  lstrcpyW(path + n, L".loaded");
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, "planted DLL loaded\r\n", 20, &written, NULL);
  CloseHandle(f);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    leave_marker(self);
    OutputDebugStringW(L"planted DLL loaded\n");
  }
  return TRUE;
}

__declspec(dllexport) UINT WINAPI
    timeSetEvent(UINT delay, UINT resolution, void* callback, DWORD_PTR user, UINT flags) {
  (void)delay, (void)resolution, (void)callback, (void)user, (void)flags;
  return 0;
}

__declspec(dllexport) UINT WINAPI timeKillEvent(UINT id) {
  (void)id;
  return 0;
}
