// The Pocket Outlook object model as Windows CE device code sees it: the
// application object, its folders, their item collections (1-based) and
// contact items with their text properties. Strings handed out belong to the
// caller, who frees them with MAPIFreeBuffer (SysFreeString does as well).
#ifndef HANDSET_PIMSTORE_H
#define HANDSET_PIMSTORE_H

#include <windows.h>
#include <objbase.h>

#ifdef __cplusplus
extern "C" {
#endif

// GetDefaultFolder's folders.
#define olFolderCalendar 9
#define olFolderContacts 10
#define olFolderTasks 13
#define olFolderCities 101
#define olFolderInfrared 102

// CreateItem's item kinds.
#define olAppointmentItem 1
#define olContactItem 2
#define olTaskItem 3

extern const CLSID CLSID_Application; // {05058F23-20BE-11D2-8F18-0000F87A4335}
extern const IID IID_IPOutlookApp;    // {05058F22-20BE-11D2-8F18-0000F87A4335}
// The handset's own values, chosen in the application's family.
extern const IID IID_IFolder;                 // {05058F30-20BE-11D2-8F18-0000F87A4335}
extern const IID IID_IPOutlookItemCollection; // {05058F31-20BE-11D2-8F18-0000F87A4335}
extern const IID IID_IContact;                // {05058F32-20BE-11D2-8F18-0000F87A4335}

struct IFolder;
struct IPOutlookItemCollection;
struct IContact;

struct IPOutlookApp : public IDispatch {
    STDMETHOD(Logon)(long hWnd) PURE;
    STDMETHOD(Logoff)() PURE;
    STDMETHOD(get_Version)(BSTR* pVersion) PURE;
    STDMETHOD(GetDefaultFolder)(int olFolder, IFolder** ppIFolder) PURE;
    STDMETHOD(CreateItem)(int olItem, IDispatch** ppPOOMObj) PURE;
    STDMETHOD(GetItemFromOid)(long oid, IDispatch** ppPOOMObj) PURE;
};

struct IFolder : public IDispatch {
    STDMETHOD(get_Items)(IPOutlookItemCollection** ppolItems) PURE;
    STDMETHOD(get_DefaultItemType)(int* polItem) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;
};

struct IPOutlookItemCollection : public IDispatch {
    STDMETHOD(Add)(IDispatch** ppolItem) PURE;
    STDMETHOD(get_Count)(int* pnCount) PURE;
    STDMETHOD(Find)(BSTR pwszRestriction, IDispatch** ppItem) PURE;
    STDMETHOD(FindNext)(IDispatch** ppItem) PURE;
    STDMETHOD(Item)(int iIndex, IDispatch** ppolItem) PURE;
    STDMETHOD(Remove)(int iIndexDel) PURE;
    STDMETHOD(Restrict)(BSTR pwszRestriction, IPOutlookItemCollection** ppolItems) PURE;
    STDMETHOD(Sort)(BSTR pwszProperty, VARIANT_BOOL fDescending) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;
};

// A contact item. Items come out of a collection as IDispatch and are used
// as IContact, as on the phone.
struct IContact : public IDispatch {
    STDMETHOD(get_Oid)(long* poid) PURE;
    STDMETHOD(get_FirstName)(BSTR* pst) PURE;
    STDMETHOD(get_MiddleName)(BSTR* pst) PURE;
    STDMETHOD(get_LastName)(BSTR* pst) PURE;
    STDMETHOD(get_Title)(BSTR* pst) PURE;
    STDMETHOD(get_Suffix)(BSTR* pst) PURE;
    STDMETHOD(get_FileAs)(BSTR* pst) PURE;
    STDMETHOD(get_CompanyName)(BSTR* pst) PURE;
    STDMETHOD(get_Department)(BSTR* pst) PURE;
    STDMETHOD(get_JobTitle)(BSTR* pst) PURE;
    STDMETHOD(get_BusinessTelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_Business2TelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_HomeTelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_Home2TelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_MobileTelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_CarTelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_RadioTelephoneNumber)(BSTR* pst) PURE;
    STDMETHOD(get_PagerNumber)(BSTR* pst) PURE;
    STDMETHOD(get_BusinessFaxNumber)(BSTR* pst) PURE;
    STDMETHOD(get_HomeFaxNumber)(BSTR* pst) PURE;
    STDMETHOD(get_Email1Address)(BSTR* pst) PURE;
    STDMETHOD(get_Email2Address)(BSTR* pst) PURE;
    STDMETHOD(get_Email3Address)(BSTR* pst) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;
};

#ifdef __cplusplus
}
#endif

#endif
