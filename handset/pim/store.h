// The contact store: the phone's contacts database as the Pocket Outlook
// object model shows it, and the COM runtime it is reached through.
//
// The driving half lets tests and scenarios fill the store, by hand or from
// vCard files. The platform half serves the COM calls (com.cpp) and the
// objects (objects.cpp): apartments per emulated thread, the strings handed
// out, and the objects alive, each counted against the process it was made
// for (kComString, kComObject).
//
// Objects are live views: a collection counts and indexes the store as it is
// at each call, and a contact item reads its record by object id at each
// call. A record removed while a program holds its item makes the item's
// text getters fail with E_FAIL; nothing dangles.
#pragma once

#include <windows.h>

#include "device/platform.h"
#include <objbase.h>

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace handset {

class Platform;

// Strings handed out, and the objects made, each counted against the process
// it was made for; what a process leaves is taken back when it ends.
void ReclaimComObject(Platform& platform, uintptr_t value, const HandleEntry& entry);
inline constexpr HandleKind kComString{"contact string", "contact strings"};
inline constexpr HandleKind kComObject{"COM object", "COM objects", ReclaimComObject};

// One contact's text properties, named after the IContact getters. An
// aggregate, so that tests can write ContactRecord{.firstName = u"Ann", ...}
// (designated initialisers in declaration order). The getters give exactly
// what is here: nothing is derived (an empty fileAs stays empty).
struct ContactRecord {
    std::u16string firstName;
    std::u16string middleName;
    std::u16string lastName;
    std::u16string title;
    std::u16string suffix;
    std::u16string fileAs;
    std::u16string companyName;
    std::u16string department;
    std::u16string jobTitle;
    std::u16string businessTelephoneNumber;
    std::u16string business2TelephoneNumber;
    std::u16string homeTelephoneNumber;
    std::u16string home2TelephoneNumber;
    std::u16string mobileTelephoneNumber;
    std::u16string carTelephoneNumber;
    std::u16string radioTelephoneNumber;
    std::u16string pagerNumber;
    std::u16string businessFaxNumber;
    std::u16string homeFaxNumber;
    std::u16string email1Address;
    std::u16string email2Address;
    std::u16string email3Address;

    bool operator==(const ContactRecord&) const = default;
};

// A text property by its IContact name ("LastName"), for tables and messages.
struct ContactProperty {
    const char* name;
    std::u16string ContactRecord::*field;
};
std::span<const ContactProperty> ContactProperties();
const ContactProperty* FindContactProperty(std::string_view name);

// What every COM object of the store has in common; the store keeps the
// living ones so that process exit and its own end can reach them.
class ComObjectBase {
  public:
    virtual ~ComObjectBase() = default;
    DWORD owner = 0;           // the process it was made for (0: the driver)
    DWORD apartment = 0;       // the thread whose COM it was made under
    bool disconnected = false; // its methods answer RPC_E_DISCONNECTED
    bool reclaimed = false;    // counted off at its process's exit
};

class PimStore final : public Area {
  public:
    explicit PimStore(Platform& platform);
    ~PimStore();
    PimStore(const PimStore&) = delete;
    PimStore& operator=(const PimStore&) = delete;

    // ---- Driving: for tests and scenarios ---------------------------------
    // These neither count against a process nor consult the fault plan.

    // Appends a contact; its object id (never 0, never given twice).
    long Add(ContactRecord contact);
    bool Remove(long oid);
    void Clear();
    size_t Count() const { return records_.size(); }
    // The contact at a 0-based position of the collection's order
    // (insertion order), or by object id; null when there is none.
    const ContactRecord* At(size_t index) const;
    const ContactRecord* Find(long oid) const;
    long OidAt(size_t index) const; // 0 when out of range

    // Adds every card of a vCard file (2.1, 3.0, 4.0). All or nothing: the
    // whole text is parsed before the store changes, and on an error nothing
    // is added and *error says "source:line: what" (vcard.h has the rules).
    // *notes, if given, receives what was read but had no place in a
    // contact (a fourth e-mail address, a number with no free slot).
    bool LoadVcf(const std::string& path, std::string* error,
                 std::vector<std::string>* notes = nullptr);
    bool LoadVcfText(std::string_view text, std::string_view sourceName, std::string* error,
                     std::vector<std::string>* notes = nullptr);

    // Device-wide totals, beside Device::Held's per-process counts.
    size_t ObjectsAlive() const { return objects_.size(); }
    size_t StringsOutstanding() const;

    // ---- For the COM calls and objects ---------------------------------------

    Platform& platform() { return platform_; }

    // COM on the calling emulated thread (tid 0: the driver's context).
    struct Apartment {
        DWORD mode = 0; // COINIT_MULTITHREADED or COINIT_APARTMENTTHREADED
        unsigned count = 0;
        DWORD pid = 0;
    };
    Apartment* FindApartment(DWORD tid);
    Apartment& OpenApartment(DWORD tid, DWORD mode, DWORD pid);
    // Ends the thread's COM: its objects still alive are disconnected.
    void CloseApartment(DWORD tid);

    // Strings handed out, BSTR-shaped: a 32-bit byte length before the
    // characters, a terminator after them. Counted against the calling process.
    BSTR NewString(std::u16string_view text);
    bool FreeString(const void* p); // false: not a string the store handed out
    bool IsString(const void* p) const;
    UINT StringLength(const void* p) const; // characters; 0 for unknown pointers

    // Objects register when made and unregister when deleted.
    void Register(ComObjectBase* object);
    void Unregister(ComObjectBase* object);
    // True while the store itself deletes what is left: objects then must
    // not release the objects they hold, which go the same way.
    bool TearingDown() const { return tearingDown_; }

    // The process's apartments end with it; the handle table takes back its
    // strings and objects.
    void ProcessExited(Process& process) override;

  private:
    struct Record {
        long oid;
        ContactRecord contact;
    };

    const Record* FindRecord(long oid) const;

    std::vector<Record> records_;
    long nextOid_ = 0x1001; // apart from any index, so one is never taken for the other
    std::map<DWORD, Apartment> apartments_;
    std::unordered_set<ComObjectBase*> objects_;
    bool tearingDown_ = false;
};

} // namespace handset
