// Started by the tests as another program would be: writes its own path, its
// working folder, its process id and its command line, one per line, to the
// file named by PROBE_OUT. A GUI program, so that no console is made for it.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char out[MAX_PATH], self[MAX_PATH], folder[MAX_PATH];
    if (GetEnvironmentVariableA("PROBE_OUT", out, MAX_PATH) == 0) return 1;
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, folder);
    FILE* file = std::fopen(out, "wb");
    if (file == nullptr) return 1;
    std::fprintf(file, "%s\n%s\n%lu\n%s\n", self, folder, GetCurrentProcessId(), GetCommandLineA());
    std::fclose(file);
    return 0;
}
