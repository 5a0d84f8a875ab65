// Caller lookup: finds the contact whose telephone number matches the call
// and writes its display name into LockState.callerName. Numbers compare on
// their digits alone, and on the last nine at most, so that one number
// written with or without country prefix, blanks or brackets is recognised.
#ifndef TESSARIL_CONTACTS_H
#define TESSARIL_CONTACTS_H

#include <windows.h>
#include <pimstore.h>

#define CALL_DIGITS_LEN 32     // the call's digits, terminator included
#define CONTACT_DIGITS_LEN 100 // a contact number's digits, terminator included
#define MATCH_DIGITS 9         // trailing digits that must agree

// The open connection to the contact database; every member null while not held.
struct ContactStore {
    IPOutlookApp* app;
    IFolder* folder;
    IPOutlookItemCollection* items;
};

// Fills LockState.callerName from LockState.callNumber, if a contact matches.
// Does nothing, and starts no COM, for an empty number.
void LookUpCallerName(void);

// Clears dest and appends the decimal digits of src in order, cut to fit
// destLen units with the terminator; returns the length of src. With
// destLen 0 or less nothing is written.
int DigitsOnly(WCHAR* dest, int destLen, const WCHAR* src);

// True when both digit strings are non-empty and their last n digits agree,
// n being the shorter length but at most MATCH_DIGITS.
BOOL NumbersMatch(const WCHAR* a, const WCHAR* b);

BOOL OpenContactStore(ContactStore* store);
// Hands over a reference to the first contact, in the collection's order,
// with a number that matches the digits.
BOOL FindContactByNumber(ContactStore* store, const WCHAR* digits, IContact** found);
// "Surname, Given name", or the fallbacks: FileAs, company, a number; cut to
// fit destLen units with the terminator. With destLen 0 or less nothing is
// written and nothing is read.
void ComposeContactName(IContact* contact, WCHAR* dest, int destLen);
void CloseContactStore(ContactStore* store);

#endif
