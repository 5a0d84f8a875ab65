// The string-table helpers of the settings pages: a list's items from one
// string, and a message box whose text and caption are strings.
#ifndef TESSARIL_CONFIG_STRING_RES_H
#define TESSARIL_CONFIG_STRING_RES_H

#include <windows.h>

#define LIST_ITEM_LEN 256 // one list item, terminator included
#define LIST_TEXT_LEN 256 // a list's whole text from the string table
#define MESSAGE_TEXT_LEN 512
#define MESSAGE_CAPTION_LEN 256

// Appends the items of text, each ended by ";", to the combo box in order.
// Text after the last ";" is no item; an item is cut to 255 characters.
void FillListFromString(HWND combo, LPCWSTR text);

// A message box owned by owner, its text and caption from the string table;
// the box's answer.
int ShowStringMessage(HINSTANCE instance, HWND owner, UINT textId, UINT captionId, UINT style);

#endif
