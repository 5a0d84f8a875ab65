// The conformance suite on the handset: every case on a fresh Device, with
// the project's two programs registered with their resources, and the
// observations written to the transcript named on the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "config_resources.h"
#include "conformance.h"
#include "device/device.h"
#include "lock_resources.h"
#include "res/resources.h"
#include "shell/install.h"
#include "tapi/network.h"

namespace {

HMODULE g_modules[2];

int NoMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 0;
}

void Collect(const char* line, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

void Register(handset::Device& d, std::u16string_view path, const unsigned char* res,
              std::size_t size, const char* name) {
    d.RegisterProgram(path, NoMain);
    std::string error;
    if (!d.Get<handset::Resources>().Attach(path, {res, size}, name, &error))
        handset::Platform::Fatal(std::string("conformance: ") + error);
}

} // namespace

HMODULE ConformanceResources(int program) {
    return g_modules[program];
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: conformance_handset TRANSCRIPT\n");
        return 2;
    }
    std::vector<std::string> lines;
    for (int a = 0; a < ConformanceAreaCount(); ++a) {
        const ConformanceArea* area = ConformanceAreaAt(a);
        for (int i = 0; i < area->count; ++i) {
            handset::Device d;
            Register(d, handset::kLockProgramPath, kTessarilRes, kTessarilResSize, "Tessaril.res");
            Register(d, handset::kConfigProgramPath, kTessarilCfgRes, kTessarilCfgResSize,
                     "TessarilCfg.res");
            handset::Network().AddStandardLines(); // the phone's cellular line and its kin
            g_modules[CONFORMANCE_LOCK_PROGRAM] = d.ProgramModule(handset::kLockProgramPath);
            g_modules[CONFORMANCE_CONFIG_PROGRAM] = d.ProgramModule(handset::kConfigProgramPath);
            d.Call([&] { RunConformanceCase(area, &area->cases[i], Collect, &lines); });
        }
    }
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    for (const std::string& line : lines)
        std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
    std::printf("conformance: %zu observations on the handset\n", lines.size());
    return 0;
}
