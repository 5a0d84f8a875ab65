// The settings key: open, read, close, one operation at a time.
#include "settings_key.h"

SettingsKey::SettingsKey()
    : m_path(NULL), m_root(HKEY_LOCAL_MACHINE), m_key(NULL), m_bufferSize(0), m_buffer(NULL) {
    SetPath(SETTINGS_KEY_PATH);
}

SettingsKey::~SettingsKey() {
    if (m_path != NULL) LocalFree(m_path);
    m_path = NULL;
    Close();
}

BOOL SettingsKey::SetPath(LPCWSTR path) {
    if (m_path != NULL) LocalFree(m_path);
    m_path = NULL;
    if (path == NULL) return FALSE;
    size_t bytes = (wcslen(path) + 1) * sizeof(WCHAR);
    LPWSTR copy = (LPWSTR)LocalAlloc(LMEM_FIXED, bytes);
    if (copy == NULL) return FALSE;
    wcscpy(copy, path);
    m_path = copy;
    return TRUE;
}

BOOL SettingsKey::Open() {
    // Whatever an earlier operation left behind goes first.
    Close();
    // Without a path there is nothing to open: a NULL path would open the root.
    if (m_path == NULL) return FALSE;

    if (RegOpenKeyExW(m_root, m_path, 0, 0, &m_key) != ERROR_SUCCESS) {
        // Missing on a fresh device. Whether this worked shows in the query.
        DWORD disposition;
        RegCreateKeyExW(m_root, m_path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_key, &disposition);
    }

    DWORD longest = 0;
    if (RegQueryInfoKeyW(m_key, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &longest, NULL,
                         NULL) != ERROR_SUCCESS) {
        Close();
        return FALSE;
    }
    if (longest != 0) {
        m_buffer = (LPBYTE)LocalAlloc(LMEM_ZEROINIT, longest);
        if (m_buffer == NULL) {
            // Values exist but there is nowhere to read them into.
            Close();
            return FALSE;
        }
        m_bufferSize = longest;
    }
    return TRUE;
}

BOOL SettingsKey::ReadDword(LPCWSTR name, SHORT* value) {
    if (value == NULL) return FALSE;
    if (!Open()) {
        Close();
        return FALSE;
    }
    DWORD type = REG_NONE;
    DWORD size = m_bufferSize;
    LONG result = RegQueryValueExW(m_key, name, NULL, &type, m_buffer, &size);
    // Only bytes the registry returned are read: a REG_DWORD can hold fewer
    // than the two taken here, and with no buffer the call reports the size alone.
    if (result != ERROR_SUCCESS || type != REG_DWORD || m_buffer == NULL || size < 2) {
        Close();
        return FALSE;
    }
    *value = (SHORT)(WORD)(m_buffer[0] | (m_buffer[1] << 8));
    Close();
    return TRUE;
}

void SettingsKey::Close() {
    if (m_buffer != NULL) LocalFree(m_buffer);
    m_buffer = NULL;
    m_bufferSize = 0;
    if (m_key != NULL) RegCloseKey(m_key);
    m_key = NULL;
}
