// Registry: what the settings store relies on (creation and its disposition,
// values of each type read back with their sizes, the errors for what is
// missing or too small) and where Windows CE's registry differs by design.
#include "conformance.h"

#include <string.h>

namespace {

const WCHAR kRoot[] = TEXT("Software\\TessarilConformance");

// Deletes a key and everything under it, on a registry that deletes only
// keys without subkeys as well as on one that deletes whole trees.
void DeleteTree(HKEY parent, const WCHAR* name) {
    HKEY key;
    if (RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    WCHAR sub[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, sub, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        DeleteTree(key, sub);
    }
    RegCloseKey(key);
    RegDeleteKeyW(parent, name);
}

// A fresh root key for the case; null when it cannot be made.
HKEY FreshRoot() {
    DeleteTree(HKEY_LOCAL_MACHINE, kRoot);
    HKEY key = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return NULL;
    return key;
}

void Done(HKEY root) {
    RegCloseKey(root);
    DeleteTree(HKEY_LOCAL_MACHINE, kRoot);
}

void CreateGivesItsDisposition() {
    HKEY root = FreshRoot();
    HKEY key = NULL;
    DWORD disposition = 0;
    Observe(RegCreateKeyExW(root, TEXT("Settings"), 0, NULL, 0, 0, NULL, &key, &disposition),
            "first.result");
    Observe(disposition, "first.disposition");
    RegCloseKey(key);
    Observe(RegCreateKeyExW(root, TEXT("Settings"), 0, NULL, 0, 0, NULL, &key, &disposition),
            "again.result");
    Observe(disposition, "again.disposition");
    RegCloseKey(key);
    // Every missing key on the way is made.
    Observe(RegCreateKeyExW(root, TEXT("A\\B\\C"), 0, NULL, 0, 0, NULL, &key, &disposition),
            "nested.result");
    Observe(disposition, "nested.disposition");
    RegCloseKey(key);
    Observe(RegOpenKeyExW(root, TEXT("A\\B"), 0, 0, &key), "nested.parent_opens");
    RegCloseKey(key);
    Done(root);
}

void OpenFindsKeysWithoutRegardToCase() {
    HKEY root = FreshRoot();
    HKEY key = NULL;
    RegCreateKeyExW(root, TEXT("Apps\\Tessaril"), 0, NULL, 0, 0, NULL, &key, NULL);
    RegCloseKey(key);
    static const WCHAR* const kPaths[] = {
        TEXT("Apps\\Tessaril"),  TEXT("APPS\\TESSARIL"), TEXT("apps\\tessaril"),
        TEXT("Apps\\Tessaril2"), TEXT("Apps\\Tess"),     TEXT("Missing\\Tessaril"),
    };
    for (int i = 0; i < CONFORMANCE_COUNT(kPaths); ++i) {
        key = NULL;
        LONG result = RegOpenKeyExW(root, kPaths[i], 0, 0, &key);
        Observe(result, "open[%d].result", i);
        if (result == ERROR_SUCCESS) RegCloseKey(key);
    }
    Done(root);
}

void DwordValuesReadBack() {
    HKEY root = FreshRoot();
    static const DWORD kValues[] = {0, 1, 2, 10, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (int i = 0; i < CONFORMANCE_COUNT(kValues); ++i) {
        DWORD value = kValues[i];
        Observe(RegSetValueExW(root, TEXT("Value"), 0, REG_DWORD, (const BYTE*)&value, 4),
                "[%d].set", i);
        DWORD read = 0x12345678, type = 0, size = 4;
        Observe(RegQueryValueExW(root, TEXT("Value"), NULL, &type, (BYTE*)&read, &size),
                "[%d].query", i);
        Observe(type, "[%d].type", i);
        Observe(size, "[%d].size", i);
        ObserveHex(read, "[%d].value", i);
    }
    Done(root);
}

void MissingAndShortReadsSayWhy() {
    HKEY root = FreshRoot();
    DWORD type = 0, size = 4, value = 0;
    Observe(RegQueryValueExW(root, TEXT("Missing"), NULL, &type, (BYTE*)&value, &size),
            "missing.result");
    const WCHAR text[] = TEXT("Tessaril");
    RegSetValueExW(root, TEXT("Name"), 0, REG_SZ, (const BYTE*)text, sizeof text);
    BYTE buffer[64];
    size = 4;
    Observe(RegQueryValueExW(root, TEXT("Name"), NULL, &type, buffer, &size), "short.result");
    Observe(size, "short.needed");
    size = 0;
    Observe(RegQueryValueExW(root, TEXT("Name"), NULL, &type, NULL, &size), "sizeonly.result");
    Observe(size, "sizeonly.size");
    Observe(type, "sizeonly.type");
    size = sizeof text;
    Observe(RegQueryValueExW(root, TEXT("Name"), NULL, &type, buffer, &size), "exact.result");
    ObserveText((const WCHAR*)buffer, "exact.text");
    // A DWORD asked for into a smaller buffer.
    DWORD four = 4;
    RegSetValueExW(root, TEXT("Four"), 0, REG_DWORD, (const BYTE*)&four, 4);
    WORD half = 0;
    size = 2;
    Observe(RegQueryValueExW(root, TEXT("Four"), NULL, &type, (BYTE*)&half, &size),
            "dword_into_two.result");
    Observe(size, "dword_into_two.needed");
    Done(root);
}

void StringValuesKeepTheirSizes() {
    HKEY root = FreshRoot();
    static const WCHAR* const kTexts[] = {
        TEXT(""),
        TEXT("a"),
        TEXT("Tessaril"),
        TEXT("\x00DCnic\x00F6"
             "de"),
        TEXT("Bell;Vibrate;"),
    };
    for (int i = 0; i < CONFORMANCE_COUNT(kTexts); ++i) {
        DWORD bytes = (DWORD)((wcslen(kTexts[i]) + 1) * sizeof(WCHAR));
        Observe(RegSetValueExW(root, TEXT("Text"), 0, REG_SZ, (const BYTE*)kTexts[i], bytes),
                "[%d].set", i);
        WCHAR read[64];
        DWORD type = 0, size = sizeof read;
        Observe(RegQueryValueExW(root, TEXT("Text"), NULL, &type, (BYTE*)read, &size), "[%d].query",
                i);
        Observe(type, "[%d].type", i);
        Observe(size, "[%d].size", i);
        ObserveText(read, "[%d].text", i);
    }
    Done(root);
}

void BinaryValuesReadBack() {
    HKEY root = FreshRoot();
    const BYTE bytes[] = {0x00, 0xFF, 0x10, 0x80, 0x7F, 0x01, 0xAA};
    for (DWORD n = 0; n <= sizeof bytes; n += 3) {
        Observe(RegSetValueExW(root, TEXT("Binary"), 0, REG_BINARY, bytes, n), "[%lu].set",
                (unsigned long)n);
        BYTE read[16];
        memset(read, 0xCC, sizeof read);
        DWORD type = 0, size = sizeof read;
        Observe(RegQueryValueExW(root, TEXT("Binary"), NULL, &type, read, &size), "[%lu].query",
                (unsigned long)n);
        Observe(type, "[%lu].type", (unsigned long)n);
        Observe(size, "[%lu].size", (unsigned long)n);
        Observe(n == 0 || memcmp(read, bytes, n) == 0, "[%lu].same", (unsigned long)n);
    }
    Done(root);
}

void ValueNamesIgnoreCase() {
    HKEY root = FreshRoot();
    DWORD value = 7;
    RegSetValueExW(root, TEXT("OnStartDelay"), 0, REG_DWORD, (const BYTE*)&value, 4);
    static const WCHAR* const kNames[] = {TEXT("OnStartDelay"), TEXT("onstartdelay"),
                                          TEXT("ONSTARTDELAY"), TEXT("OnStartDela")};
    for (int i = 0; i < CONFORMANCE_COUNT(kNames); ++i) {
        DWORD read = 0, size = 4;
        Observe(RegQueryValueExW(root, kNames[i], NULL, NULL, (BYTE*)&read, &size), "[%d].result",
                i);
        Observe(read, "[%d].value", i);
    }
    // Setting it under another case keeps one value.
    value = 9;
    RegSetValueExW(root, TEXT("ONSTARTDELAY"), 0, REG_DWORD, (const BYTE*)&value, 4);
    DWORD values = 0;
    RegQueryInfoKeyW(root, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    Observe(values, "after_set_upper.values");
    Done(root);
}

void QueryInfoCountsKeysAndValues() {
    HKEY root = FreshRoot();
    HKEY key;
    RegCreateKeyExW(root, TEXT("One"), 0, NULL, 0, 0, NULL, &key, NULL);
    RegCloseKey(key);
    RegCreateKeyExW(root, TEXT("LongerName"), 0, NULL, 0, 0, NULL, &key, NULL);
    RegCloseKey(key);
    DWORD dword = 1;
    const WCHAR text[] = TEXT("Tessaril");
    const BYTE bytes[6] = {1, 2, 3, 4, 5, 6};
    RegSetValueExW(root, TEXT("Abc"), 0, REG_DWORD, (const BYTE*)&dword, 4);
    RegSetValueExW(root, TEXT("TempUnlock"), 0, REG_SZ, (const BYTE*)text, sizeof text);
    RegSetValueExW(root, TEXT("DropIncomingX"), 0, REG_BINARY, bytes, sizeof bytes);
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
    Observe(RegQueryInfoKeyW(root, NULL, NULL, NULL, &subKeys, &maxSubKey, NULL, &values,
                             &maxValueName, &maxValue, NULL, NULL),
            "result");
    Observe(subKeys, "subkeys");
    Observe(maxSubKey, "max_subkey_length");
    Observe(values, "values");
    Observe(maxValueName, "max_value_name_length");
    Observe(maxValue, "max_value_bytes");
    Done(root);
}

void DeletedValuesAreGone() {
    HKEY root = FreshRoot();
    DWORD value = 3;
    RegSetValueExW(root, TEXT("Gone"), 0, REG_DWORD, (const BYTE*)&value, 4);
    Observe(RegDeleteValueW(root, TEXT("Gone")), "delete.result");
    Observe(RegDeleteValueW(root, TEXT("Gone")), "again.result");
    DWORD size = 4;
    Observe(RegQueryValueExW(root, TEXT("Gone"), NULL, NULL, (BYTE*)&value, &size), "query.result");
    Done(root);
}

// Windows CE deletes a key with everything under it; the desktop's
// RegDeleteKeyW deletes only a key without subkeys.
void DeletingAKeyWithSubkeys() {
    HKEY root = FreshRoot();
    HKEY key;
    RegCreateKeyExW(root, TEXT("Parent\\Child"), 0, NULL, 0, 0, NULL, &key, NULL);
    RegCloseKey(key);
    Observe(RegDeleteKeyW(root, TEXT("Parent")), "result");
    LONG open = RegOpenKeyExW(root, TEXT("Parent\\Child"), 0, 0, &key);
    Observe(open, "child_open");
    if (open == ERROR_SUCCESS) RegCloseKey(key);
    Observe(RegDeleteKeyW(root, TEXT("Missing")), "missing.result");
    Done(root);
}

void EnumerationOfValuesAndKeys() {
    HKEY root = FreshRoot();
    static const WCHAR* const kNames[] = {TEXT("Beta"), TEXT("alpha"), TEXT("Gamma")};
    for (int i = 0; i < CONFORMANCE_COUNT(kNames); ++i) {
        DWORD value = (DWORD)i;
        RegSetValueExW(root, kNames[i], 0, REG_DWORD, (const BYTE*)&value, 4);
        HKEY key;
        RegCreateKeyExW(root, kNames[i], 0, NULL, 0, 0, NULL, &key, NULL);
        RegCloseKey(key);
    }
    for (DWORD i = 0; i < 4; ++i) {
        WCHAR name[32] = TEXT("");
        DWORD length = 32, type = 0;
        LONG result = RegEnumValueW(root, i, name, &length, NULL, &type, NULL, NULL);
        Observe(result, "value[%lu].result", (unsigned long)i);
        if (result == ERROR_SUCCESS) {
            ObserveText(name, "value[%lu].name", (unsigned long)i);
            Observe(length, "value[%lu].length", (unsigned long)i);
        }
    }
    for (DWORD i = 0; i < 4; ++i) {
        WCHAR name[32] = TEXT("");
        DWORD length = 32;
        LONG result = RegEnumKeyExW(root, i, name, &length, NULL, NULL, NULL, NULL);
        Observe(result, "key[%lu].result", (unsigned long)i);
        if (result == ERROR_SUCCESS) ObserveText(name, "key[%lu].name", (unsigned long)i);
    }
    // A name buffer too small for the name.
    WCHAR small[3];
    DWORD length = 3;
    Observe(RegEnumValueW(root, 0, small, &length, NULL, NULL, NULL, NULL), "short_name.result");
    Done(root);
}

// Windows CE ignores the access a key was opened with; the desktop holds
// a key opened for reading to it.
void AccessMaskOfAnOpenedKey() {
    HKEY root = FreshRoot();
    HKEY key = NULL;
    RegCreateKeyExW(root, TEXT("ReadOnly"), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    RegCloseKey(key);
    Observe(RegOpenKeyExW(root, TEXT("ReadOnly"), 0, KEY_READ, &key), "open.result");
    DWORD value = 1;
    Observe(RegSetValueExW(key, TEXT("Value"), 0, REG_DWORD, (const BYTE*)&value, 4),
            "set_through_read_key.result");
    RegCloseKey(key);
    Done(root);
}

void ClosingTwiceAndBadHandles() {
    HKEY root = FreshRoot();
    HKEY key = NULL;
    RegCreateKeyExW(root, TEXT("Closed"), 0, NULL, 0, 0, NULL, &key, NULL);
    Observe(RegCloseKey(key), "close.result");
    DWORD size = 4, value = 0;
    Observe(RegCloseKey(NULL), "close_null.result");
    Observe(RegQueryValueExW(NULL, TEXT("x"), NULL, NULL, (BYTE*)&value, &size),
            "query_null.result");
    Done(root);
}

const ConformanceCase kCases[] = {
    {"CreateGivesItsDisposition", CreateGivesItsDisposition, NULL},
    {"OpenFindsKeysWithoutRegardToCase", OpenFindsKeysWithoutRegardToCase, NULL},
    {"DwordValuesReadBack", DwordValuesReadBack, NULL},
    {"MissingAndShortReadsSayWhy", MissingAndShortReadsSayWhy, NULL},
    {"StringValuesKeepTheirSizes", StringValuesKeepTheirSizes, NULL},
    {"BinaryValuesReadBack", BinaryValuesReadBack, NULL},
    {"ValueNamesIgnoreCase", ValueNamesIgnoreCase, NULL},
    {"QueryInfoCountsKeysAndValues", QueryInfoCountsKeysAndValues, NULL},
    {"DeletedValuesAreGone", DeletedValuesAreGone, NULL},
    {"DeletingAKeyWithSubkeys", DeletingAKeyWithSubkeys, NULL},
    {"EnumerationOfValuesAndKeys", EnumerationOfValuesAndKeys, NULL},
    {"AccessMaskOfAnOpenedKey", AccessMaskOfAnOpenedKey, NULL},
    {"ClosingTwiceAndBadHandles", ClosingTwiceAndBadHandles, NULL},
};

} // namespace

extern const ConformanceArea kRegistryArea = {"registry", kCases, CONFORMANCE_COUNT(kCases)};
