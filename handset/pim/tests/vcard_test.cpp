// The vCard loader: line forms, parameters, encodings and charsets, the
// mapping onto contact records, the errors and their lines, loading into the
// store all or nothing, and the files real address books export.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "device/device.h"
#include "testing/testing.h"
#include "pim/store.h"
#include "pim/vcard.h"

using handset::ContactRecord;
using handset::Device;
using handset::Narrow;
using handset::ParseVcards;
using handset::PimStore;
using handset::VcardResult;

namespace {

// The one card of the text; fails the test when the text does not parse.
ContactRecord One(std::string_view text, std::vector<std::string>* notes = nullptr) {
    VcardResult result;
    std::string error;
    bool ok = ParseVcards(text, "t.vcf", &result, &error);
    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(1u, result.contacts.size());
    if (notes) *notes = result.notes;
    return result.contacts.empty() ? ContactRecord{} : result.contacts.front();
}

std::string Card(std::string_view version, std::string_view body) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(body) +
           "END:VCARD\r\n";
}

// The properties that hold text, as "Name=value" lines, empty ones left out.
std::string Filled(const ContactRecord& c) {
    std::string out;
    for (auto& p : handset::ContactProperties())
        if (!(c.*p.field).empty()) out += std::string(p.name) + "=" + Narrow(c.*p.field) + "\n";
    return out;
}

using handset::testing::Join;

std::filesystem::path VcardDir() {
    return std::filesystem::path(PIM_TESTDATA) / "vcard";
}

} // namespace

TEST(VcardLines, UnfoldsFoldedLinesWithEitherLineEnd) {
    ContactRecord c = One("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jo\r\n hn Smith\r\n"
                          "ORG:Acme\n\t Corp\nTITLE:Boss\rEND:VCARD\n");
    EXPECT_EQ("John Smith", Narrow(c.fileAs)) << "CRLF and a space";
    EXPECT_EQ("Acme Corp", Narrow(c.companyName)) << "LF and a tab; only one blank goes";
    EXPECT_EQ("Boss", Narrow(c.jobTitle)) << "a lone CR ends a line too";
}

TEST(VcardLines, JoinsQuotedPrintableSoftBreaks) {
    ContactRecord c = One(Card("2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BC=\r\n"
                                      "ller;J=C3=B6rg\r\n"
                                      "NOTE;QUOTED-PRINTABLE:line one=0D=0A=\r\n"
                                      "line two\r\n"
                                      "TEL;HOME:555\r\n"));
    EXPECT_EQ("Müller", Narrow(c.lastName));
    EXPECT_EQ("Jörg", Narrow(c.firstName));
    EXPECT_EQ("555", Narrow(c.homeTelephoneNumber))
        << "a bare QUOTED-PRINTABLE joins its next line, and only that one";
    // A head that leaves a quote open ends at its first colon all the same.
    ContactRecord open = One(Card("2.1", "FN;ENCODING=QUOTED-PRINTABLE;X-A=\"open:An=\r\n"
                                         "n=\r\n"
                                         "a\r\n"));
    EXPECT_EQ("Anna", Narrow(open.fileAs));
}

TEST(VcardLines, BlankLinesAndUnknownOrBinaryPropertiesAreSkipped) {
    ContactRecord c = One(Card("2.1", "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n"
                                      "    /9j/4AAQSkZJRgABAQEAYABgAAD\r\n"
                                      "    not base64 at all: skipped unread\r\n"
                                      "\r\n"
                                      "X-CUSTOM;X-PARAM=\"a;b:c\":whatever\r\n"
                                      "item7.X-ABLabel:_$!<HomePage>!$_\r\n"
                                      "\r\n"
                                      "TEL;CELL:555 0100\r\n"));
    EXPECT_EQ("MobileTelephoneNumber=555 0100\n", Filled(c));
}

TEST(VcardValues, CharsetsAndEncodingsDecode) {
    struct Case {
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Ren=C3=A9", "René"},
        {"FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Ren=E9", "René"},
        {"FN;CHARSET=windows-1252;ENCODING=QUOTED-PRINTABLE:=80 5 =96 Ren=E9", "€ 5 – René"},
        {"FN;CHARSET=ISO-8859-1:Ren\xE9", "René"},
        {"FN:Ren\xC3\xA9", "René"}, // UTF-8 unless told otherwise
        // Not UTF-8 (an overlong NUL): Latin-1, byte by byte; no NUL cuts the name.
        {"FN:Ann\xC0\x80Smith", "Ann\u00C0\u0080Smith"},
        {"FN;CHARSET=us-ascii:Rene", "Rene"},
        {"FN;ENCODING=B:Sm9obiBEb2U=", "John Doe"},
        {"FN;ENCODING=b:MT4/fn5+", "1>?~~~"},
        {"FN;ENCODING=BASE64;CHARSET=UTF-8:UmVuw6k=", "René"},
        {"FN;ENCODING=QUOTED-PRINTABLE:50=25 =ZZ off", "50% =ZZ off"}, // malformed: as written
        {"FN;ENCODING=8BIT:plain", "plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Narrow(One(Card("2.1", std::string(c.line) + "\r\n")).fileAs))
            << c.line;
}

TEST(VcardValues, EscapesDependOnTheVersion) {
    ContactRecord v3 = One(Card("3.0", "FN:A\\, B\\; C\\\\D\\nE\r\nTITLE:http\\://x\r\n"));
    EXPECT_EQ("A, B; C\\D\r\nE", Narrow(v3.fileAs));
    EXPECT_EQ("http://x", Narrow(v3.jobTitle)) << "an unknown escape keeps its character";
    ContactRecord v4 = One(Card("4.0", "FN:Dummy\\, Dummy\r\n"));
    EXPECT_EQ("Dummy, Dummy", Narrow(v4.fileAs));
    // 2.1 knows only \; and a comma is text.
    ContactRecord v21 = One(Card("2.1", "FN:C:\\dir\\n\r\nN:Doe\\;Roe;Ann,Bea;;;\r\n"));
    EXPECT_EQ("C:\\dir\\n", Narrow(v21.fileAs));
    EXPECT_EQ("Doe;Roe", Narrow(v21.lastName));
    EXPECT_EQ("Ann,Bea", Narrow(v21.firstName));
}

TEST(VcardMapping, NameOrganisationTitleAndFileAs) {
    ContactRecord c = One(Card("3.0", "N:Doe;John;Richter,James;Dr.,Prof.;Sr.,Jr.\r\n"
                                      "FN:Prof. John Doe\r\n"
                                      "ORG:IBM;Accounting;Dungeon\r\n"
                                      "TITLE:Money Counter\r\n"));
    EXPECT_EQ("FirstName=John\nMiddleName=Richter James\nLastName=Doe\nTitle=Dr., Prof.\n"
              "Suffix=Sr., Jr.\nFileAs=Prof. John Doe\nCompanyName=IBM\nDepartment=Accounting\n"
              "JobTitle=Money Counter\n",
              Filled(c));
    // An escaped comma is one value; an explicit file-as wins over FN wherever it stands.
    ContactRecord e = One(Card("3.0", "X-EVOLUTION-FILE-AS:Doe\\, John\r\n"
                                      "N:Doe;John;Richter\\, James;;\r\n"
                                      "FN:Mr. John Doe\r\n"));
    EXPECT_EQ("Doe, John", Narrow(e.fileAs));
    EXPECT_EQ("Richter, James", Narrow(e.middleName));
}

TEST(VcardMapping, TelTypesChooseTheSlot) {
    struct Case {
        const char* head; // the property up to its ':'
        const char* version;
        const char* slot;
    };
    const Case cases[] = {
        {"TEL;CELL;PREF", "2.1", "MobileTelephoneNumber"},
        {"TEL;TYPE=cell,voice", "3.0", "MobileTelephoneNumber"},
        {"TEL;TYPE=CELL;TYPE=VOICE", "3.0", "MobileTelephoneNumber"},
        {"TEL;type=work,cell", "3.0", "MobileTelephoneNumber"},
        {"TEL;TYPE=\"work,voice\";PREF=1", "4.0", "BusinessTelephoneNumber"},
        {"TEL;WORK;VOICE", "2.1", "BusinessTelephoneNumber"},
        {"item1.TEL;type=WORK", "3.0", "BusinessTelephoneNumber"},
        {"TEL;HOME;VOICE", "2.1", "HomeTelephoneNumber"},
        {"TEL", "3.0", "HomeTelephoneNumber"},
        {"TEL;VOICE", "2.1", "HomeTelephoneNumber"},
        {"TEL;TYPE=PREF,MSG", "3.0", "HomeTelephoneNumber"},
        {"TEL;WORK;FAX", "2.1", "BusinessFaxNumber"},
        {"TEL;TYPE=HOME,FAX", "3.0", "HomeFaxNumber"},
        {"TEL;TYPE=FAX", "3.0", "HomeFaxNumber"},
        {"TEL;PAGER", "2.1", "PagerNumber"},
        {"TEL;CAR", "2.1", "CarTelephoneNumber"},
        {"TEL;RADIO", "2.1", "RadioTelephoneNumber"},
        {"TEL;TYPE=MAIN", "3.0", "RadioTelephoneNumber"},
        {"TEL;X-ASSISTANT", "2.1", "RadioTelephoneNumber"},
    };
    for (const Case& c : cases) {
        ContactRecord r = One(Card(c.version, std::string(c.head) + ":555-0100\r\n"));
        EXPECT_EQ(std::string(c.slot) + "=555-0100\n", Filled(r)) << c.head;
    }
    ContactRecord uri =
        One(Card("4.0", "TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-418-656-9254;ext=102\r\n"));
    EXPECT_EQ("BusinessTelephoneNumber=+1-418-656-9254\n", Filled(uri))
        << "a tel: URI gives its number";
}

TEST(VcardMapping, LaterNumbersTakeSecondSlotsThenRadioThenANote) {
    std::vector<std::string> notes;
    ContactRecord c = One(Card("3.0", "TEL;TYPE=WORK:1\r\n"
                                      "TEL;TYPE=HOME:2\r\n"
                                      "TEL;TYPE=WORK:3\r\n"
                                      "TEL:4\r\n"
                                      "TEL;TYPE=WORK:5\r\n"
                                      "TEL;TYPE=CELL:6\r\n"
                                      "TEL;TYPE=CELL:7\r\n"),
                          &notes);
    EXPECT_EQ("BusinessTelephoneNumber=1\nBusiness2TelephoneNumber=3\nHomeTelephoneNumber=2\n"
              "Home2TelephoneNumber=4\nMobileTelephoneNumber=6\nRadioTelephoneNumber=5\n",
              Filled(c));
    EXPECT_EQ("t.vcf:9: TEL 7 not kept: every slot it can take is in use\n", Join(notes));
}

TEST(VcardMapping, EmailsFillThreeSlotsAndFirstValuesWin) {
    std::vector<std::string> notes;
    ContactRecord c = One(Card("3.0", "EMAIL;TYPE=INTERNET:a@x\r\n"
                                      "EMAIL:\r\n"
                                      "item1.EMAIL;TYPE=WORK:b@x\r\n"
                                      "EMAIL:c@x\r\n"
                                      "EMAIL:d@x\r\n"
                                      "ORG:One;Dept\r\n"
                                      "ORG:Two\r\n"
                                      "TITLE:\r\n"
                                      "TITLE:Boss\r\n"),
                          &notes);
    EXPECT_EQ("CompanyName=One\nDepartment=Dept\nJobTitle=Boss\nEmail1Address=a@x\n"
              "Email2Address=b@x\nEmail3Address=c@x\n",
              Filled(c))
        << "empty values are passed over";
    EXPECT_EQ("t.vcf:7: EMAIL d@x not kept: a contact holds three addresses\n"
              "t.vcf:9: ORG after the first not kept\n",
              Join(notes));
}

TEST(VcardErrors, BrokenTextIsRefusedNamingTheLine) {
    struct Case {
        const char* what;
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"no END", "BEGIN:VCARD\nVERSION:3.0\nFN:A\n", "t.vcf:1: card has no END:VCARD"},
        {"BEGIN inside a card", "BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nEND:VCARD\n",
         "t.vcf:3: BEGIN:VCARD inside the card begun at line 1 (its END:VCARD is missing)"},
        {"END outside", "END:VCARD\n", "t.vcf:1: END:VCARD without BEGIN:VCARD"},
        {"text outside", Card("3.0", "FN:A\n") + "\nFN:B\n", "t.vcf:6: text outside a card"},
        {"no colon", Card("3.0", "FN A\r\n"), "t.vcf:3: no ':' in the line"},
        {"no name", Card("3.0", ":value\r\n"), "t.vcf:3: a property without a name"},
        {"line count over folds", Card("3.0", "NOTE:a\r\n b\r\n c\r\nFN x\r\n"),
         "t.vcf:6: no ':' in the line"},
        {"line count over soft breaks", Card("2.1", "NOTE;QUOTED-PRINTABLE:a=\r\nb\r\nbad\r\n"),
         "t.vcf:5: no ':' in the line"},
        {"unknown encoding", Card("2.1", "NOTE;ENCODING=X-UUENCODE:xx\r\n"),
         "t.vcf:3: NOTE: unknown ENCODING 'X-UUENCODE'"},
        {"unknown charset", Card("2.1", "NOTE;CHARSET=Shift_JIS:xx\r\n"),
         "t.vcf:3: NOTE: unknown CHARSET 'SHIFT_JIS'"},
        {"version", Card("5.0", "FN:A\r\n"), "t.vcf:2: vCard version '5.0' is not supported"},
        {"bad BASE64 where used", Card("3.0", "FN;ENCODING=b:@@@@\r\n"),
         "t.vcf:3: FN: BASE64 value does not decode"},
        {"nothing", "", "t.vcf: no vCard in the text"},
        {"blank lines only", "\r\n\r\n", "t.vcf: no vCard in the text"},
        {"UTF-16",
         std::string("\xFF\xFE"
                     "B\0E\0",
                     6),
         "t.vcf:1: UTF-16 text is not supported; save the file as UTF-8"},
    };
    for (const Case& c : cases) {
        VcardResult result;
        result.notes.push_back("untouched");
        std::string error;
        EXPECT_FALSE(ParseVcards(c.text, "t.vcf", &result, &error)) << c.what;
        EXPECT_EQ(c.error, error) << c.what;
        EXPECT_EQ(1u, result.notes.size()) << c.what << ": the result is left alone";
    }
}

TEST(VcardErrors, AByteOrderMarkIsNotText) {
    EXPECT_EQ("A", Narrow(One("\xEF\xBB\xBF" + Card("3.0", "FN:A\r\n")).fileAs));
}

TEST(VcardStore, LoadingIsAllOrNothing) {
    Device d;
    PimStore& store = d.Get<handset::PimStore>();
    store.Add(ContactRecord{.lastName = u"Kept"});
    std::string error;
    std::string text = Card("3.0", "N:Good;One;;;\r\n") + Card("3.0", "N:Bad;Two;;;\r\nbroken\r\n");
    EXPECT_FALSE(store.LoadVcfText(text, "mixed.vcf", &error));
    EXPECT_EQ("mixed.vcf:8: no ':' in the line", error);
    ASSERT_EQ(1u, store.Count()) << "nothing of a refused text is added, nothing is lost";
    EXPECT_EQ("Kept", Narrow(store.At(0)->lastName));

    std::vector<std::string> notes;
    EXPECT_TRUE(store.LoadVcfText(
        Card("3.0", "N:Good;One;;;\r\nEMAIL:a\r\nEMAIL:b\r\nEMAIL:c\r\nEMAIL:d\r\n") +
            Card("2.1", "N:Also;Two\r\n"),
        "good.vcf", &error, &notes));
    ASSERT_EQ(3u, store.Count());
    EXPECT_EQ("Good", Narrow(store.At(1)->lastName)) << "added after what was there, in file order";
    EXPECT_EQ("Also", Narrow(store.At(2)->lastName));
    EXPECT_EQ("good.vcf:7: EMAIL d not kept: a contact holds three addresses\n", Join(notes));
}

TEST(VcardStore, AFileThatCannotBeOpenedIsNamed) {
    Device d;
    std::string error;
    EXPECT_FALSE(d.Get<handset::PimStore>().LoadVcf("/nonexistent/contacts.vcf", &error));
    EXPECT_EQ("/nonexistent/contacts.vcf: cannot open: No such file or directory", error);
    EXPECT_EQ(0u, d.Get<handset::PimStore>().Count());
}

// ---- The project's own files: each version as exporters write it -------------
// tests/data holds hand-written cards in the shapes the loader reads (2.1 with
// bare parameters, QUOTED-PRINTABLE, CHARSET and BASE64; 3.0 with TYPE= lists,
// groups, folds and escapes; 4.0 with tel: URIs), so that a clone without the
// shared files still tests all of it.

namespace {

struct Loaded {
    std::string cards; // Filled() of each card, "--" between them
    std::string notes; // one a line, without the directory
};

Loaded LoadFixture(const char* name) {
    Device d;
    std::string error;
    std::vector<std::string> notes;
    EXPECT_TRUE(d.Get<handset::PimStore>().LoadVcf(
        (std::filesystem::path(PIM_FIXTURES) / name).string(), &error, &notes))
        << error;
    Loaded out;
    for (size_t i = 0; i < d.Get<handset::PimStore>().Count(); ++i)
        out.cards += (i ? "--\n" : "") + Filled(*d.Get<handset::PimStore>().At(i));
    for (auto& n : notes)
        out.notes += n.substr(n.rfind('/') + 1) + "\n";
    return out;
}

} // namespace

TEST(VcardFixtures, Version21AsPhonesAndOrganisersExportIt) {
    Loaded got = LoadFixture("phone-21.vcf");
    EXPECT_EQ("FirstName=Zoë\nLastName=Grünwald\nTitle=Dr.\nFileAs=Dr. Zoë Grünwald\n"
              "CompanyName=Käserei Müller\nDepartment=Vertrieb\nJobTitle=Leiterin\n"
              "BusinessTelephoneNumber=+49 30 5550 1000\n"
              "Business2TelephoneNumber=+49 30 5550 1001\n"
              "HomeTelephoneNumber=+49 30 5550 2000\nMobileTelephoneNumber=+49 170 5550300\n"
              "CarTelephoneNumber=+49 171 5550500\nPagerNumber=+49 30 5550 4000\n"
              "BusinessFaxNumber=+49 30 5550 1099\nHomeFaxNumber=+49 30 5550 2099\n"
              "Email1Address=zoe@example.de\nEmail2Address=zoe.gruenwald@example.org\n"
              "--\n"
              "FirstName=René\nLastName=Lefèvre\nFileAs=René Lefèvre – €\nJobTitle=Ingénieur\n"
              "HomeTelephoneNumber=0555 0177\nRadioTelephoneNumber=0555 0178\n"
              "--\n"
              "FirstName=Jan\nLastName=Nowak\nMobileTelephoneNumber=0555 0133\n"
              "--\n"
              "CompanyName=Taxi Nord\nBusinessTelephoneNumber=0555 0190\n",
              got.cards);
    EXPECT_EQ("", got.notes);
}

TEST(VcardFixtures, Version30AsAddressBooksExportIt) {
    Loaded got = LoadFixture("book-30.vcf");
    EXPECT_EQ("FirstName=Adaeze\nMiddleName=Chioma Ngozi\nLastName=Okafor\nTitle=Prof., Dr.\n"
              "Suffix=PhD\nFileAs=Okafor, Adaeze\nCompanyName=Okafor & Partners; Consulting\n"
              "Department=Research, Lagos\nJobTitle=Senior Partner\n"
              "BusinessTelephoneNumber=+234 1 555 0101\nHomeTelephoneNumber=+234 1 555 0100\n"
              "Home2TelephoneNumber=+234 1 555 0104\nMobileTelephoneNumber=+234 803 555 0102\n"
              "BusinessFaxNumber=+234 1 555 0103\nEmail1Address=adaeze@example.ng\n"
              "Email2Address=a.okafor@example.com\n"
              "--\n"
              "FirstName=Wei\nLastName=Li\nFileAs=Li Wei\nJobTitle=R&D lead\n"
              "MobileTelephoneNumber=+86 10 5550 1234\nEmail1Address=li.wei@example.cn\n"
              "--\n"
              "CompanyName=Harbour Pharmacy\nBusinessTelephoneNumber=+44 20 7946 0011\n"
              "RadioTelephoneNumber=+44 20 7946 0012\n",
              got.cards);
    EXPECT_EQ("", got.notes);
}

TEST(VcardFixtures, Version40WithTelUris) {
    Loaded got = LoadFixture("card-40.vcf");
    EXPECT_EQ("FirstName=Marta\nLastName=Kowalska-Nowak\nSuffix=mgr inż., MBA\n"
              "FileAs=Marta Kowalska-Nowak\nCompanyName=Przykład Sp. z o.o.\n"
              "Department=Dział IT\nJobTitle=Kierownik\n"
              "BusinessTelephoneNumber=+48-22-555-0100\nHomeTelephoneNumber=+48 22 555 0102\n"
              "MobileTelephoneNumber=+48-600-555-010\nEmail1Address=marta@example.pl\n"
              "Email2Address=marta.k@example.com\nEmail3Address=mk@example.net\n"
              "--\n"
              "FileAs=Reception desk\nBusinessTelephoneNumber=+48 22 555 0199\n",
              got.cards);
    EXPECT_EQ(
        "card-40.vcf:5: FN after the first not kept\n"
        "card-40.vcf:7: N after the first not kept\n"
        "card-40.vcf:10: TITLE after the first not kept\n"
        "card-40.vcf:17: EMAIL fourth@example.org not kept: a contact holds three addresses\n",
        got.notes);
}

// ---- The files real address books wrote --------------------------------------

class VcardFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(VcardDir()))
            GTEST_SKIP() << "needs ../shared/testdata (no vCard files at " << VcardDir() << ")";
    }
    // Loads the file into the store of a new device; the store's contacts.
    std::vector<ContactRecord> Load(const char* name, std::vector<std::string>* notes = nullptr) {
        device_.reset(); // one Device at a time
        device_ = std::make_unique<Device>();
        std::string error;
        EXPECT_TRUE(
            device_->Get<handset::PimStore>().LoadVcf((VcardDir() / name).string(), &error, notes))
            << error;
        std::vector<ContactRecord> out;
        for (size_t i = 0; i < device_->Get<handset::PimStore>().Count(); ++i)
            out.push_back(*device_->Get<handset::PimStore>().At(i));
        return out;
    }
    std::unique_ptr<Device> device_;
};

TEST_F(VcardFiles, EveryFileLoadsEachOfItsCards) {
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(VcardDir())) {
        if (entry.path().extension() != ".vcf") continue;
        ++files;
        // The cards, counted apart from the loader.
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        size_t begins = 0;
        while (std::getline(in, line)) {
            std::transform(line.begin(), line.end(), line.begin(), ::toupper);
            if (line.rfind("BEGIN:VCARD", 0) == 0) ++begins;
        }
        Device d;
        std::string error;
        std::vector<std::string> notes;
        EXPECT_TRUE(d.Get<handset::PimStore>().LoadVcf(entry.path().string(), &error, &notes))
            << entry.path().filename() << ": " << error;
        EXPECT_EQ(begins, d.Get<handset::PimStore>().Count()) << entry.path().filename();
    }
    EXPECT_GE(files, 18);
}

TEST_F(VcardFiles, JohnDoeFromAnIPhone) {
    auto cards = Load("John_Doe_IPHONE.vcf");
    ASSERT_EQ(1u, cards.size());
    EXPECT_EQ("FirstName=John\nMiddleName=Richter James\nLastName=Doe\nTitle=Mr.\nSuffix=Sr.\n"
              "FileAs=Mr. John Richter James Doe Sr.\nCompanyName=IBM\nDepartment=Accounting\n"
              "JobTitle=Money Counter\nBusinessTelephoneNumber=905-777-1234\n"
              "HomeTelephoneNumber=905-666-1234\nHome2TelephoneNumber=905-222-1234\n"
              "MobileTelephoneNumber=905-555-1234\nPagerNumber=905-111-1234\n"
              "BusinessFaxNumber=905-999-1234\nHomeFaxNumber=905-888-1234\n"
              "Email1Address=john.doe@ibm.com\n",
              Filled(cards[0]));
}

TEST_F(VcardFiles, JohnDoeFromOutlookIn21) {
    auto cards = Load("John_Doe_MS_OUTLOOK.vcf");
    ASSERT_EQ(1u, cards.size());
    EXPECT_EQ("FirstName=John\nMiddleName=Richter,James\nLastName=Doe\nTitle=Mr.\nSuffix=Sr.\n"
              "FileAs=Mr. John Richter James Doe Sr.\nCompanyName=IBM\nDepartment=Accounting\n"
              "JobTitle=Money Counter\nBusinessTelephoneNumber=(905) 555-1234\n"
              "HomeTelephoneNumber=(905) 666-1234\nEmail1Address=john.doe@ibm.cm\n",
              Filled(cards[0]));
}

TEST_F(VcardFiles, JohnDoeFromEvolutionWithFoldedNumbers) {
    auto cards = Load("John_Doe_EVOLUTION.vcf");
    ASSERT_EQ(1u, cards.size());
    EXPECT_EQ("FirstName=John\nMiddleName=Richter, James\nLastName=Doe\nTitle=Mr.\nSuffix=Sr.\n"
              "FileAs=Doe, John\nCompanyName=IBM\nDepartment=Accounting\nJobTitle=Money Counter\n"
              "BusinessTelephoneNumber=905-555-1234\nMobileTelephoneNumber=905-666-1234\n"
              "Email1Address=john.doe@ibm.com\n",
              Filled(cards[0]));
}

TEST_F(VcardFiles, AndroidQuotedPrintableNames) {
    auto cards = Load("John_Doe_ANDROID.vcf");
    ASSERT_EQ(6u, cards.size());
    EXPECT_EQ("Email1Address=john.doe@company.com\n", Filled(cards[0]));
    EXPECT_EQ("Ñ Ñ Ñ Ñ", Narrow(cards[2].lastName));
    EXPECT_EQ("123456789", Narrow(cards[2].mobileTelephoneNumber));
    // A soft line break inside the name.
    EXPECT_EQ("Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ", Narrow(cards[3].lastName));
    EXPECT_EQ("Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ", Narrow(cards[3].fileAs));
    EXPECT_EQ("123456", Narrow(cards[3].mobileTelephoneNumber));
    EXPECT_EQ("234567", Narrow(cards[3].homeTelephoneNumber));
    EXPECT_EQ("45678901", Narrow(cards[3].home2TelephoneNumber));
    EXPECT_EQ("3456789", Narrow(cards[3].radioTelephoneNumber)) << "a second mobile";
    EXPECT_EQ("Ñ Ñ", Narrow(cards[4].lastName));
    EXPECT_EQ("Ñ Ñ Ñ", Narrow(cards[4].firstName));
    EXPECT_EQ("123456", Narrow(cards[4].businessFaxNumber));
    EXPECT_EQ("bob@company.com", Narrow(cards[4].email1Address));
    EXPECT_EQ("ÑÑÑÑÑÑÑÑÑÑÑÑÑÑ", Narrow(cards[4].email2Address));
    EXPECT_EQ("ÑÑÑÑÑÑÑÑÑÑÑÑ", Narrow(cards[4].companyName));
}

TEST_F(VcardFiles, TheExamplesOfTheStandards) {
    auto v3 = Load("rfc2426-example.vcf");
    ASSERT_EQ(2u, v3.size());
    EXPECT_EQ("FileAs=Frank Dawson\nCompanyName=Lotus Development Corporation\n"
              "BusinessTelephoneNumber=+1-919-676-9515\nBusinessFaxNumber=+1-919-676-9564\n"
              "Email1Address=Frank_Dawson@Lotus.com\nEmail2Address=fdawson@earthlink.net\n",
              Filled(v3[0]));
    EXPECT_EQ("Tim Howes", Narrow(v3[1].fileAs));
    auto v4 = Load("rfc6350-example.vcf");
    ASSERT_EQ(1u, v4.size());
    EXPECT_EQ("FirstName=Simon\nLastName=Perreault\nSuffix=ing. jr, M.Sc.\nFileAs=Simon Perreault\n"
              "CompanyName=Viagenie\nBusinessTelephoneNumber=+1-418-656-9254\n"
              "MobileTelephoneNumber=+1-418-262-6501\nEmail1Address=simon.perreault@viagenie.ca\n",
              Filled(v4[0]));
}

TEST_F(VcardFiles, WhatHasNoPlaceIsNoted) {
    std::vector<std::string> notes;
    auto cards = Load("fullcontact.vcf", &notes);
    ASSERT_EQ(1u, cards.size());
    EXPECT_EQ("555-555-1113", Narrow(cards[0].mobileTelephoneNumber));
    EXPECT_EQ("555-555-1114", Narrow(cards[0].radioTelephoneNumber));
    EXPECT_EQ("555-555-1115", Narrow(cards[0].home2TelephoneNumber));
    EXPECT_EQ("Organization1", Narrow(cards[0].companyName));
    EXPECT_EQ("Title1", Narrow(cards[0].jobTitle));
    std::string all = Join(notes);
    for (const char* dropped :
         {"TEL 555-555-1118", "TEL 555-555-1119", "EMAIL other@example.com",
          "EMAIL custom@example.com", "ORG after the first", "TITLE after the first"})
        EXPECT_NE(std::string::npos, all.find(dropped)) << dropped << " in\n" << all;
    EXPECT_EQ(0u, all.rfind(VcardDir().string() + "/fullcontact.vcf:", 0))
        << "notes name the file:\n"
        << all;
}
