// The Pocket Outlook objects: application, contacts folder, item collection
// and contact item. Each is a COM object with its own reference count that
// deletes itself at zero, answers QueryInterface for its own interface,
// IDispatch and IUnknown, and is counted against the process it was made for
// while it lives (store.h).
//
// Choices where the phone's documentation is silent:
//  - Logon(hWnd) accepts any window, null too, and may be repeated. Before
//    it, and after Logoff, GetDefaultFolder and GetItemFromOid fail with
//    E_FAIL. Objects got during the session keep working after Logoff.
//  - GetDefaultFolder: olFolderContacts gives the contacts folder; the other
//    folders of the phone (calendar, tasks, cities, infrared) are not
//    emulated and stop the run; any other number is E_INVALIDARG.
//  - get_Version gives "1.0" (there is only one version of this store).
//  - A text getter gives a new string the caller frees with MAPIFreeBuffer
//    or SysFreeString, an empty one (not null) for an empty property.
//  - Item(i) makes a new contact object at each call.
//  - Failing calls set their out pointer to null where they have one.
//  - CreateItem and the collection's Add, Find, FindNext, Remove, Restrict
//    and Sort are not emulated: the phone has them, so they stop the run
//    rather than answer E_NOTIMPL. So do IDispatch's four methods; callers
//    use the interfaces early bound, as phone code does.
#include "pim/objects.h"

#include <optional>

#include "common/text.h"
#include "device/platform.h"
#include "pim/store.h"

namespace handset {

namespace {

// A text argument as NotEmulated names it.
std::string Quoted(BSTR text) {
    return text ? "\"" + Narrow(text) + "\"" : std::string("null");
}

template <class Interface, const IID& kIid>
class ComObject : public Interface, public ComObjectBase {
  public:
    ComObject(PimStore& store, DWORD apartmentTid) : store_(store) {
        owner = store.platform().CurrentPid();
        apartment = apartmentTid;
        store_.Register(this);
    }
    ~ComObject() override { store_.Unregister(this); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        if (IsEqualIID(riid, kIid) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, IID_IUnknown)) {
            *ppvObject = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
    STDMETHOD_(ULONG, Release)() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (auto hr = Begin("IDispatch::GetTypeInfoCount")) return *hr;
        NotEmulated("IDispatch::GetTypeInfoCount");
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (auto hr = Begin("IDispatch::GetTypeInfo")) return *hr;
        NotEmulated("IDispatch::GetTypeInfo");
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID*) override {
        if (auto hr = Begin("IDispatch::GetIDsOfNames")) return *hr;
        NotEmulated("IDispatch::GetIDsOfNames",
                    rgszNames && cNames ? "name " + Narrow(rgszNames[0]) : std::string());
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (auto hr = Begin("IDispatch::Invoke")) return *hr;
        NotEmulated("IDispatch::Invoke", "dispIdMember " + std::to_string(dispIdMember));
    }

  protected:
    // The start of every method: the fault plan, then whether the object is
    // still connected. A value is the HRESULT to return at once.
    std::optional<HRESULT> Begin(const char* method) {
        if (auto e = Enter(method)) return static_cast<HRESULT>(*e);
        if (disconnected) return RPC_E_DISCONNECTED;
        return std::nullopt;
    }

    PimStore& store_;

  private:
    ULONG refs_ = 1;
};

// Holds a reference to the application that made it, for get_Application.
template <class Interface, const IID& kIid> class AppChild : public ComObject<Interface, kIid> {
  public:
    AppChild(PimStore& store, IPOutlookApp* app, DWORD apartmentTid)
        : ComObject<Interface, kIid>(store, apartmentTid), app_(app) {
        app_->AddRef();
    }
    ~AppChild() override {
        // At the store's end every object goes by itself.
        if (!this->store_.TearingDown()) app_->Release();
    }

  protected:
    HRESULT GiveApplication(const char* method, IPOutlookApp** polApp) {
        if (auto hr = this->Begin(method)) return *hr;
        if (!polApp) return E_POINTER;
        app_->AddRef();
        *polApp = app_;
        return S_OK;
    }

    IPOutlookApp* app_;
};

// ---- Contact item ----------------------------------------------------------------

class Contact final : public AppChild<IContact, IID_IContact> {
  public:
    Contact(PimStore& store, IPOutlookApp* app, DWORD apartmentTid, long oid)
        : AppChild(store, app, apartmentTid), oid_(oid) {}

    STDMETHODIMP get_Oid(long* poid) override {
        if (auto hr = Begin("IContact::get_Oid")) return *hr;
        if (!poid) return E_POINTER;
        *poid = oid_;
        return S_OK;
    }

#define HANDSET_TEXT_GETTER(Name, field)                                                           \
    STDMETHODIMP get_##Name(BSTR* pst) override {                                                  \
        return Text("IContact::get_" #Name, &ContactRecord::field, pst);                           \
    }
    HANDSET_TEXT_GETTER(FirstName, firstName)
    HANDSET_TEXT_GETTER(MiddleName, middleName)
    HANDSET_TEXT_GETTER(LastName, lastName)
    HANDSET_TEXT_GETTER(Title, title)
    HANDSET_TEXT_GETTER(Suffix, suffix)
    HANDSET_TEXT_GETTER(FileAs, fileAs)
    HANDSET_TEXT_GETTER(CompanyName, companyName)
    HANDSET_TEXT_GETTER(Department, department)
    HANDSET_TEXT_GETTER(JobTitle, jobTitle)
    HANDSET_TEXT_GETTER(BusinessTelephoneNumber, businessTelephoneNumber)
    HANDSET_TEXT_GETTER(Business2TelephoneNumber, business2TelephoneNumber)
    HANDSET_TEXT_GETTER(HomeTelephoneNumber, homeTelephoneNumber)
    HANDSET_TEXT_GETTER(Home2TelephoneNumber, home2TelephoneNumber)
    HANDSET_TEXT_GETTER(MobileTelephoneNumber, mobileTelephoneNumber)
    HANDSET_TEXT_GETTER(CarTelephoneNumber, carTelephoneNumber)
    HANDSET_TEXT_GETTER(RadioTelephoneNumber, radioTelephoneNumber)
    HANDSET_TEXT_GETTER(PagerNumber, pagerNumber)
    HANDSET_TEXT_GETTER(BusinessFaxNumber, businessFaxNumber)
    HANDSET_TEXT_GETTER(HomeFaxNumber, homeFaxNumber)
    HANDSET_TEXT_GETTER(Email1Address, email1Address)
    HANDSET_TEXT_GETTER(Email2Address, email2Address)
    HANDSET_TEXT_GETTER(Email3Address, email3Address)
#undef HANDSET_TEXT_GETTER

    STDMETHODIMP get_Application(IPOutlookApp** polApp) override {
        return GiveApplication("IContact::get_Application", polApp);
    }

  private:
    HRESULT Text(const char* method, std::u16string ContactRecord::*field, BSTR* pst) {
        if (auto hr = Begin(method)) return *hr;
        if (!pst) return E_POINTER;
        *pst = nullptr;
        // A live view: the record as it is now, if it still is.
        const ContactRecord* record = store_.Find(oid_);
        if (!record) return E_FAIL;
        *pst = store_.NewString(record->*field);
        return S_OK;
    }

    long oid_;
};

// ---- Item collection --------------------------------------------------------------

class Items final : public AppChild<IPOutlookItemCollection, IID_IPOutlookItemCollection> {
  public:
    using AppChild::AppChild;

    STDMETHODIMP get_Count(int* pnCount) override {
        if (auto hr = Begin("IPOutlookItemCollection::get_Count")) return *hr;
        if (!pnCount) return E_POINTER;
        *pnCount = static_cast<int>(store_.Count());
        return S_OK;
    }

    STDMETHODIMP Item(int iIndex, IDispatch** ppolItem) override {
        if (auto hr = Begin("IPOutlookItemCollection::Item")) return *hr;
        if (!ppolItem) return E_POINTER;
        *ppolItem = nullptr;
        // 1-based, over the store as it is now.
        if (iIndex < 1 || static_cast<size_t>(iIndex) > store_.Count()) return E_INVALIDARG;
        long oid = store_.OidAt(static_cast<size_t>(iIndex - 1));
        // IContact derives from IDispatch alone: the caller may use it as either.
        *ppolItem = new Contact(store_, app_, apartment, oid);
        return S_OK;
    }

    STDMETHODIMP Add(IDispatch** ppolItem) override {
        if (auto hr = Begin("IPOutlookItemCollection::Add")) return *hr;
        NotEmulated("IPOutlookItemCollection::Add");
    }
    STDMETHODIMP Find(BSTR pwszRestriction, IDispatch** ppItem) override {
        if (auto hr = Begin("IPOutlookItemCollection::Find")) return *hr;
        NotEmulated("IPOutlookItemCollection::Find", "restriction " + Quoted(pwszRestriction));
    }
    STDMETHODIMP FindNext(IDispatch** ppItem) override {
        if (auto hr = Begin("IPOutlookItemCollection::FindNext")) return *hr;
        NotEmulated("IPOutlookItemCollection::FindNext");
    }
    STDMETHODIMP Remove(int iIndex) override {
        if (auto hr = Begin("IPOutlookItemCollection::Remove")) return *hr;
        NotEmulated("IPOutlookItemCollection::Remove", "index " + std::to_string(iIndex));
    }
    STDMETHODIMP Restrict(BSTR pwszRestriction, IPOutlookItemCollection** ppolItems) override {
        if (auto hr = Begin("IPOutlookItemCollection::Restrict")) return *hr;
        NotEmulated("IPOutlookItemCollection::Restrict", "restriction " + Quoted(pwszRestriction));
    }
    STDMETHODIMP Sort(BSTR pwszProperty, VARIANT_BOOL) override {
        if (auto hr = Begin("IPOutlookItemCollection::Sort")) return *hr;
        NotEmulated("IPOutlookItemCollection::Sort", "property " + Quoted(pwszProperty));
    }
    STDMETHODIMP get_Application(IPOutlookApp** polApp) override {
        return GiveApplication("IPOutlookItemCollection::get_Application", polApp);
    }
};

// ---- Contacts folder --------------------------------------------------------------

class Folder final : public AppChild<IFolder, IID_IFolder> {
  public:
    using AppChild::AppChild;

    STDMETHODIMP get_Items(IPOutlookItemCollection** ppolItems) override {
        if (auto hr = Begin("IFolder::get_Items")) return *hr;
        if (!ppolItems) return E_POINTER;
        *ppolItems = new Items(store_, app_, apartment);
        return S_OK;
    }
    STDMETHODIMP get_DefaultItemType(int* polItem) override {
        if (auto hr = Begin("IFolder::get_DefaultItemType")) return *hr;
        if (!polItem) return E_POINTER;
        *polItem = olContactItem;
        return S_OK;
    }
    STDMETHODIMP get_Application(IPOutlookApp** polApp) override {
        return GiveApplication("IFolder::get_Application", polApp);
    }
};

// ---- Application ------------------------------------------------------------------

class Application final : public ComObject<IPOutlookApp, IID_IPOutlookApp> {
  public:
    using ComObject::ComObject;

    STDMETHODIMP Logon(long hWnd) override {
        if (auto hr = Begin("IPOutlookApp::Logon")) return *hr;
        loggedOn_ = true;
        return S_OK;
    }
    STDMETHODIMP Logoff() override {
        if (auto hr = Begin("IPOutlookApp::Logoff")) return *hr;
        loggedOn_ = false;
        return S_OK;
    }
    STDMETHODIMP get_Version(BSTR* pVersion) override {
        if (auto hr = Begin("IPOutlookApp::get_Version")) return *hr;
        if (!pVersion) return E_POINTER;
        *pVersion = store_.NewString(u"1.0");
        return S_OK;
    }
    STDMETHODIMP GetDefaultFolder(int olFolder, IFolder** ppIFolder) override {
        if (auto hr = Begin("IPOutlookApp::GetDefaultFolder")) return *hr;
        if (!ppIFolder) return E_POINTER;
        *ppIFolder = nullptr;
        if (!loggedOn_) return E_FAIL;
        switch (olFolder) {
        case olFolderContacts:
            *ppIFolder = new Folder(store_, this, apartment);
            return S_OK;
        case olFolderCalendar:
        case olFolderTasks:
        case olFolderCities:
        case olFolderInfrared:
            NotEmulated("IPOutlookApp::GetDefaultFolder", "olFolder " + std::to_string(olFolder));
        default:
            return E_INVALIDARG;
        }
    }
    STDMETHODIMP CreateItem(int olItem, IDispatch** ppPOOMObj) override {
        if (auto hr = Begin("IPOutlookApp::CreateItem")) return *hr;
        NotEmulated("IPOutlookApp::CreateItem", "olItem " + std::to_string(olItem));
    }
    STDMETHODIMP GetItemFromOid(long oid, IDispatch** ppPOOMObj) override {
        if (auto hr = Begin("IPOutlookApp::GetItemFromOid")) return *hr;
        if (!ppPOOMObj) return E_POINTER;
        *ppPOOMObj = nullptr;
        if (!loggedOn_) return E_FAIL;
        if (!store_.Find(oid)) return E_INVALIDARG;
        *ppPOOMObj = new Contact(store_, this, apartment, oid);
        return S_OK;
    }

  private:
    bool loggedOn_ = false;
};

} // namespace

IPOutlookApp* NewApplication(PimStore& store, DWORD apartment) {
    return new Application(store, apartment);
}

} // namespace handset
