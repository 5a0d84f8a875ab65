// The conformance suite on Windows (run under Wine by run_wine.sh): every
// case in turn in this one process, the observations written to standard
// output. A case only the handset can run is named, with why, instead.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "conformance.h"

namespace {

HMODULE g_modules[2];

void Print(const char* line, void*) {
    printf("%s\n", line);
}

// The resources of each program are linked into a DLL beside this program.
HMODULE LoadBeside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\')
        --n;
    path[n] = 0;
    wcscat(path, name);
    HMODULE module = LoadLibraryW(path);
    if (module == nullptr) fwprintf(stderr, L"conformance: cannot load %ls\n", path);
    return module;
}

} // namespace

HMODULE ConformanceResources(int program) {
    return g_modules[program];
}

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    g_modules[CONFORMANCE_LOCK_PROGRAM] = LoadBeside(L"TessarilRes.dll");
    g_modules[CONFORMANCE_CONFIG_PROGRAM] = LoadBeside(L"TessarilCfgRes.dll");
    if (!g_modules[CONFORMANCE_LOCK_PROGRAM] || !g_modules[CONFORMANCE_CONFIG_PROGRAM]) return 1;
    for (int a = 0; a < ConformanceAreaCount(); ++a) {
        const ConformanceArea* area = ConformanceAreaAt(a);
        for (int i = 0; i < area->count; ++i) {
            const ConformanceCase& c = area->cases[i];
            if (c.handsetOnly)
                printf("%s.%s = handset only: %s\n", area->name, c.name, c.handsetOnly);
            else
                RunConformanceCase(area, &c, Print, nullptr);
            fflush(stdout);
        }
    }
    return 0;
}
