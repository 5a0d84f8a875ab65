// SettingsKey: the registry key both programs keep their settings under,
// opened afresh for every read or write and closed again before it returns,
// so that neither program ever holds a key or a buffer between operations.
#ifndef TESSARIL_SETTINGS_KEY_H
#define TESSARIL_SETTINGS_KEY_H

#include <windows.h>

#define SETTINGS_KEY_PATH TEXT("Software\\Apps\\Tessaril")

class SettingsKey {
  public:
    // Under HKEY_LOCAL_MACHINE at SETTINGS_KEY_PATH.
    SettingsKey();
    // Frees the path, then closes whatever is open.
    ~SettingsKey();

    // Keeps a copy of path in place of the previous one. FALSE when the copy
    // could not be made (or path is NULL): then there is no path, and every
    // operation fails until a SetPath succeeds.
    BOOL SetPath(LPCWSTR path);

    // Opens the key, making it when it is missing, and allocates a buffer as
    // long as its longest value (none when it has no values). On failure
    // nothing is left open.
    BOOL Open();

    // Reads a REG_DWORD: its first two bytes, as a signed 16-bit number.
    // Opens and closes the key. FALSE, *value untouched, when the value is
    // missing, not a REG_DWORD, or holds fewer than two bytes.
    BOOL ReadDword(LPCWSTR name, SHORT* value);

#ifdef TESSARIL_CONFIG_PROGRAM
    // Writes value as a REG_DWORD of four bytes. Opens and closes the key.
    BOOL WriteDword(LPCWSTR name, LONG value);
#endif

    // Frees the buffer and closes the key; safe when neither is held.
    void Close();

  private:
    SettingsKey(const SettingsKey&);
    SettingsKey& operator=(const SettingsKey&);

    LPWSTR m_path;      // LocalAlloc copy, or NULL
    const HKEY m_root;  // HKEY_LOCAL_MACHINE
    HKEY m_key;         // open only during one operation
    DWORD m_bufferSize; // bytes in m_buffer, 0 when there is none
    LPBYTE m_buffer;    // LocalAlloc(LMEM_ZEROINIT) block during one read, or NULL
};

#endif
