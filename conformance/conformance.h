// The conformance suite's cases, written once in the device's dialect and run
// twice: on the handset (main_handset.cpp, a fresh Device per case) and on
// Windows under Wine (main_windows.cpp). A case calls the platform and
// records what it saw, one "area.case.key = value" line per observation;
// the two transcripts are compared against known_differences.txt.
#ifndef CONFORMANCE_H
#define CONFORMANCE_H

#include <windows.h>

typedef void (*ConformanceRun)(void);

struct ConformanceCase {
    const char* name;
    ConformanceRun run;
    // Why only the handset runs it (a service Windows has not got), or null.
    const char* handsetOnly;
};

struct ConformanceArea {
    const char* name;
    const ConformanceCase* cases;
    int count;
};

// The areas, in the order their transcripts are written.
extern const ConformanceArea kRegistryArea;
extern const ConformanceArea kKernelArea;
extern const ConformanceArea kMessagesArea;
extern const ConformanceArea kResourcesArea;
extern const ConformanceArea kGdiArea;
extern const ConformanceArea kTextArea;
extern const ConformanceArea kToolhelpArea;
extern const ConformanceArea kHandsetOnlyArea;
int ConformanceAreaCount();
const ConformanceArea* ConformanceAreaAt(int index);

#define CONFORMANCE_COUNT(table) ((int)(sizeof(table) / sizeof((table)[0])))

// Observations of the running case. The key may be a printf format. Values
// are the platform's 32-bit ones: a DWORD of 0xFFFFFFFF is -1 on both sides.
void Observe(LONG value, const char* key, ...);
void ObserveHex(DWORD value, const char* key, ...);
// UTF-16 text, written as UTF-8 between quotes; null is written as null.
void ObserveText(const WCHAR* text, const char* key, ...);

// Runs one case; each observation goes to the sink as a whole line.
typedef void (*ConformanceSink)(const char* line, void* context);
void RunConformanceCase(const ConformanceArea* area, const ConformanceCase* c, ConformanceSink sink,
                        void* context);

// What each main provides: the module that holds the resources of the
// project's program, Tessaril.exe or TessarilCfg.exe, as its .res has them.
#define CONFORMANCE_LOCK_PROGRAM 0
#define CONFORMANCE_CONFIG_PROGRAM 1
HMODULE ConformanceResources(int program);

#endif
