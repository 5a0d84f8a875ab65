// vCard (.vcf) text to contact records: versions 2.1 and 3.0, and 4.0 as far
// as it shares their form.
//
// Reading. Lines end in CRLF, LF or CR (CR CR LF, which some exporters
// write, is one end). A line that starts with a space or a tab
// continues the one before (one blank taken off); a QUOTED-PRINTABLE value
// that ends in '=' continues on the next line (2.1 soft line breaks). Blank
// lines are skipped (2.1 ends BASE64 values with one). A property is
// [group.]NAME[;param...]:value; groups (item1.TEL) are read and set aside.
// A card without VERSION is read as 3.0.
// Parameters come as 2.1 bare words (TEL;CELL;PREF), as TYPE=a,b or repeated
// TYPE=a;TYPE=b (3.0), quoted or not. ENCODING=QUOTED-PRINTABLE and BASE64/B
// are decoded where a value is used; binary properties (PHOTO, KEY, ...) are
// skipped unread. CHARSET may be UTF-8 (the default), US-ASCII, ISO-8859-1 or
// windows-1252. In 3.0 and 4.0, \\ \; \, and \n are escapes, and any other
// backslash is dropped before the character it precedes (Gmail writes
// "http\://"); 2.1 knows only \;.
//
// Mapping onto the record:
//   N      Family;Given;Additional;Prefix;Suffix -> lastName, firstName,
//          middleName, title, suffix. In 3.0/4.0 a component may list values
//          separated by ','; they are joined by a space (by ", " for prefix
//          and suffix).
//   FN     -> fileAs, unless X-EVOLUTION-FILE-AS gives it explicitly.
//   ORG    first component -> companyName, second -> department.
//   TITLE  -> jobTitle.
//   EMAIL  -> email1..3 in order.
//   TEL    by its types, into the first free slot of:
//            FAX with WORK: businessFax; other FAX: homeFax; PAGER: pager;
//            CELL or MOBILE: mobile (before WORK, so "work,cell" is a mobile);
//            CAR: car; RADIO: radio; WORK: business, business2;
//            HOME: home, home2; no type that says where (VOICE, PREF, MSG,
//            TEXT, VIDEO and the like say how): home, home2; any other type
//            (MAIN, ISDN, X-...): radio.
//          A number whose slots are taken goes to radio if that is free. A
//          tel: URI (VALUE=uri) gives its number without its ;parameters.
// The first N, FN, ORG and TITLE of a card count. What has no place left (a
// fourth e-mail, a number with every slot taken, a second ORG) is not an
// error: it is reported as a note, "source:line: ...".
//
// Errors name the source and the line ("phone.vcf:12: ..."), and the whole
// text is refused: a card without END:VCARD, BEGIN:VCARD inside a card,
// END:VCARD outside one, text outside a card, a line without ':' inside a
// card, a property without a name, a VERSION other than 2.1, 3.0 or 4.0, an
// ENCODING or CHARSET not known (on any property: a writer we cannot read
// once is not trusted for the rest), BASE64 that does not decode where the
// value is used, UTF-16 text, and a text with no card at all. A malformed
// QUOTED-PRINTABLE escape is kept as written, not refused.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pim/store.h"

namespace handset {

struct VcardResult {
    std::vector<ContactRecord> contacts; // in the order of the text
    std::vector<std::string> notes;      // what had no place, "source:line: ..."
};

// Parses all of the text; on false *error says why and *out is untouched.
bool ParseVcards(std::string_view text, std::string_view sourceName, VcardResult* out,
                 std::string* error);

} // namespace handset
