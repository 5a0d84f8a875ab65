// Caller lookup through the Pocket Outlook object model. One lookup starts
// COM on the calling thread, scans every contact once and closes everything
// again; nothing is cached between calls.
#include "contacts/contacts.h"

#include <mapix.h>

#include "core/lock_state.h"

namespace {

typedef HRESULT (STDMETHODCALLTYPE IContact::*TextGetter)(BSTR*);

// Numbers that identify a contact, in the order they are compared.
const TextGetter kMatchOrder[] = {
    &IContact::get_BusinessTelephoneNumber, &IContact::get_Business2TelephoneNumber,
    &IContact::get_HomeTelephoneNumber,     &IContact::get_Home2TelephoneNumber,
    &IContact::get_MobileTelephoneNumber,   &IContact::get_CarTelephoneNumber,
};

// Numbers shown as the name when a contact has nothing better.
const TextGetter kNumberFallbacks[] = {
    &IContact::get_MobileTelephoneNumber,    &IContact::get_BusinessTelephoneNumber,
    &IContact::get_Business2TelephoneNumber, &IContact::get_HomeTelephoneNumber,
    &IContact::get_Home2TelephoneNumber,     &IContact::get_CarTelephoneNumber,
    &IContact::get_RadioTelephoneNumber,
};

// A property that cannot be read counts as empty (null).
BSTR ReadText(IContact* contact, TextGetter getter) {
    BSTR text = NULL;
    if (FAILED((contact->*getter)(&text))) return NULL;
    return text;
}

void FreeText(BSTR text) {
    if (text) MAPIFreeBuffer(text);
}

BOOL IsEmpty(const WCHAR* text) {
    return text == NULL || text[0] == 0;
}

// Appends src to dest, cut so that dest never exceeds destLen units.
void AppendCut(WCHAR* dest, int destLen, const WCHAR* src) {
    int len = (int)wcslen(dest);
    while (len < destLen - 1 && *src)
        dest[len++] = *src++;
    dest[len] = 0;
}

// Copies the property into an empty dest if it is not empty; TRUE if it did.
BOOL TakeIfSet(IContact* contact, TextGetter getter, WCHAR* dest, int destLen) {
    BSTR text = ReadText(contact, getter);
    BOOL taken = !IsEmpty(text);
    if (taken) AppendCut(dest, destLen, text);
    FreeText(text);
    return taken;
}

} // namespace

int DigitsOnly(WCHAR* dest, int destLen, const WCHAR* src) {
    int length = 0;
    int used = 0;
    int room = destLen > 0 ? destLen - 1 : 0; // digits that fit beside the terminator
    if (destLen > 0) dest[0] = 0;
    if (src == NULL) return 0;
    for (; src[length] != 0; ++length) {
        if (iswctype(src[length], _DIGIT) && used < room) {
            dest[used++] = src[length];
            dest[used] = 0;
        }
    }
    return length;
}

BOOL NumbersMatch(const WCHAR* a, const WCHAR* b) {
    int lengthA = (int)wcslen(a);
    int lengthB = (int)wcslen(b);
    int n = lengthA < lengthB ? lengthA : lengthB;
    if (n == 0) return FALSE;
    if (n > MATCH_DIGITS) n = MATCH_DIGITS;
    return wcsncmp(a + lengthA - n, b + lengthB - n, n) == 0;
}

void CloseContactStore(ContactStore* store) {
    if (store->items) store->items->Release();
    if (store->folder) store->folder->Release();
    if (store->app) {
        store->app->Logoff();
        store->app->Release();
        CoUninitialize();
    }
    store->items = NULL;
    store->folder = NULL;
    store->app = NULL;
}

BOOL OpenContactStore(ContactStore* store) {
    if (FAILED(CoInitializeEx(NULL, COINIT_MULTITHREADED))) return FALSE;

    IPOutlookApp* app = NULL;
    HRESULT hr = CoCreateInstance(CLSID_Application, NULL, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                                  (LPVOID*)&app);
    // A success without an object is as good as a failure.
    if (SUCCEEDED(hr) && app == NULL) hr = E_POINTER;
    if (SUCCEEDED(hr)) {
        store->app = app;
        hr = app->Logon(0);
    }
    if (SUCCEEDED(hr)) {
        IFolder* folder = NULL;
        hr = store->app->GetDefaultFolder(olFolderContacts, &folder);
        if (SUCCEEDED(hr) && folder == NULL) hr = E_POINTER;
        if (SUCCEEDED(hr)) store->folder = folder;
    }
    if (SUCCEEDED(hr)) {
        IPOutlookItemCollection* items = NULL;
        hr = store->folder->get_Items(&items);
        if (SUCCEEDED(hr) && items == NULL) hr = E_POINTER;
        if (SUCCEEDED(hr)) store->items = items;
    }
    if (SUCCEEDED(hr)) return TRUE;

    // Closing the store ends COM when it holds the application; else end it here.
    BOOL closeEndsCom = store->app != NULL;
    CloseContactStore(store);
    if (!closeEndsCom) CoUninitialize();
    return FALSE;
}

BOOL FindContactByNumber(ContactStore* store, const WCHAR* digits, IContact** found) {
    if (store->items == NULL) return FALSE;
    int count = 0;
    if (FAILED(store->items->get_Count(&count))) count = 0;
    for (int i = 1; i <= count; ++i) {
        IDispatch* item = NULL;
        if (FAILED(store->items->Item(i, &item)) || item == NULL) continue;
        IContact* contact = static_cast<IContact*>(item);
        for (unsigned k = 0; k < sizeof kMatchOrder / sizeof kMatchOrder[0]; ++k) {
            // Each string goes back as soon as it is reduced to digits.
            WCHAR numberDigits[CONTACT_DIGITS_LEN];
            BSTR number = ReadText(contact, kMatchOrder[k]);
            DigitsOnly(numberDigits, CONTACT_DIGITS_LEN, number);
            FreeText(number);
            if (NumbersMatch(digits, numberDigits)) {
                *found = contact;
                return TRUE;
            }
        }
        contact->Release();
    }
    return FALSE;
}

void ComposeContactName(IContact* contact, WCHAR* dest, int destLen) {
    if (destLen <= 0) return; // no room even for the terminator
    dest[0] = 0;
    BSTR first = ReadText(contact, &IContact::get_FirstName);
    BSTR last = ReadText(contact, &IContact::get_LastName);
    if (!IsEmpty(last)) AppendCut(dest, destLen, last);
    if (!IsEmpty(first)) {
        if (dest[0] != 0) AppendCut(dest, destLen, TEXT(", "));
        AppendCut(dest, destLen, first);
    }
    FreeText(first);
    FreeText(last);
    if (dest[0] != 0) return;
    if (TakeIfSet(contact, &IContact::get_FileAs, dest, destLen)) return;
    if (TakeIfSet(contact, &IContact::get_CompanyName, dest, destLen)) return;
    for (unsigned k = 0; k < sizeof kNumberFallbacks / sizeof kNumberFallbacks[0]; ++k)
        if (TakeIfSet(contact, kNumberFallbacks[k], dest, destLen)) return;
}

void LookUpCallerName(void) {
    if (g_lockState.callNumber[0] == 0) return;
    WCHAR digits[CALL_DIGITS_LEN];
    DigitsOnly(digits, CALL_DIGITS_LEN, g_lockState.callNumber);

    ContactStore store = {NULL, NULL, NULL};
    OpenContactStore(&store); // without items the search finds nothing
    IContact* contact = NULL;
    if (FindContactByNumber(&store, digits, &contact)) {
        ComposeContactName(contact, g_lockState.callerName, CALLER_NAME_LEN);
        contact->Release();
    }
    CloseContactStore(&store);
}
