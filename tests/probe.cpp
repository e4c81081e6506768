// Started by the relaunch test through the shell: writes its own path and its
// working folder, one per line, and then its process id, to the file named
// by PROBE_OUT. A GUI program, so that no console is made for it.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char out[MAX_PATH], self[MAX_PATH], folder[MAX_PATH];
    if (GetEnvironmentVariableA("PROBE_OUT", out, MAX_PATH) == 0) return 1;
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, folder);
    FILE* file = std::fopen(out, "wb");
    if (file == nullptr) return 1;
    std::fprintf(file, "%s\n%s\n%lu\n", self, folder, GetCurrentProcessId());
    std::fclose(file);
    return 0;
}
