// The case framework: the list of areas, and the observations of the running
// case written out as lines.
#include "conformance.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

const ConformanceArea* const kAreas[] = {
    &kRegistryArea, &kKernelArea, &kMessagesArea, &kResourcesArea,
    &kGdiArea,      &kTextArea,   &kToolhelpArea, &kHandsetOnlyArea,
};

struct Running {
    const ConformanceArea* area;
    const ConformanceCase* c;
    ConformanceSink sink;
    void* context;
};
Running g_running;

void Emit(const char* key, va_list args, const char* value) {
    char formatted[128];
    vsnprintf(formatted, sizeof formatted, key, args);
    char line[1024];
    snprintf(line, sizeof line, "%s.%s.%s = %s", g_running.area->name, g_running.c->name, formatted,
             value);
    g_running.sink(line, g_running.context);
}

// UTF-16 to UTF-8, pairs joined; a lone surrogate is written as U+FFFD.
void AppendUtf8(char* out, size_t size, const WCHAR* text) {
    size_t n = strlen(out);
    for (; *text != 0 && n + 5 < size; ++text) {
        unsigned long c = (unsigned short)*text;
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((unsigned short)text[1] - 0xDC00);
            ++text;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out[n++] = (char)c;
        } else if (c < 0x800) {
            out[n++] = (char)(0xC0 | (c >> 6));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[n++] = (char)(0xE0 | (c >> 12));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else {
            out[n++] = (char)(0xF0 | (c >> 18));
            out[n++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        }
    }
    out[n] = 0;
}

} // namespace

int ConformanceAreaCount() {
    return CONFORMANCE_COUNT(kAreas);
}

const ConformanceArea* ConformanceAreaAt(int index) {
    return kAreas[index];
}

void Observe(LONG value, const char* key, ...) {
    char text[32];
    snprintf(text, sizeof text, "%ld", (long)value);
    va_list args;
    va_start(args, key);
    Emit(key, args, text);
    va_end(args);
}

void ObserveHex(DWORD value, const char* key, ...) {
    char text[32];
    snprintf(text, sizeof text, "0x%08lX", (unsigned long)value);
    va_list args;
    va_start(args, key);
    Emit(key, args, text);
    va_end(args);
}

void ObserveText(const WCHAR* text, const char* key, ...) {
    char value[768] = "null";
    if (text != NULL) {
        strcpy(value, "\"");
        AppendUtf8(value, sizeof value - 1, text);
        strcat(value, "\"");
    }
    va_list args;
    va_start(args, key);
    Emit(key, args, value);
    va_end(args);
}

void RunConformanceCase(const ConformanceArea* area, const ConformanceCase* c, ConformanceSink sink,
                        void* context) {
    g_running.area = area;
    g_running.c = c;
    g_running.sink = sink;
    g_running.context = context;
    c->run();
}
