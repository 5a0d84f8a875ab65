// The string-table helpers of the settings pages.
#include "string_res.h"

#include <string.h>

void FillListFromString(HWND combo, LPCWSTR text) {
    if (text == NULL) return;
    WCHAR item[LIST_ITEM_LEN];
    for (LPCWSTR end = wcschr(text, TEXT(';')); end != NULL; end = wcschr(text, TEXT(';'))) {
        size_t length = (size_t)(end - text);
        if (length > LIST_ITEM_LEN - 1) length = LIST_ITEM_LEN - 1;
        memcpy(item, text, length * sizeof(WCHAR));
        item[length] = 0;
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)item);
        text = end + 1;
    }
}

int ShowStringMessage(HINSTANCE instance, HWND owner, UINT textId, UINT captionId, UINT style) {
    WCHAR text[MESSAGE_TEXT_LEN];
    WCHAR caption[MESSAGE_CAPTION_LEN];
    // A string that does not load leaves its buffer empty.
    text[0] = 0;
    caption[0] = 0;
    LoadStringW(instance, textId, text, MESSAGE_TEXT_LEN);
    LoadStringW(instance, captionId, caption, MESSAGE_CAPTION_LEN);
    return MessageBoxW(owner, text, caption, style);
}
