// The vCard and LDIF readers over small texts, one table per topic. Each card
// is printed as "FN|family|given|mail,mail|group" and a text's cards joined
// by newlines.
#include "TestEnv.h"

#include <addressbook/AddressBookFile.h>
#include <addressbook/LdifReader.h>
#include <addressbook/VCardReader.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

using addressbook::Card;

std::string Canonical(const std::vector<Card>& cards) {
  std::string out;
  for (const Card& card : cards) {
    if (!out.empty()) out += '\n';
    out += card.formattedName + "|" + card.familyName + "|" + card.givenName + "|";
    for (std::size_t i = 0; i < card.emails.size(); ++i) out += (i ? "," : "") + card.emails[i];
    out += card.isGroup ? "|group" : "|";
  }
  return out;
}

struct Case {
  const char* what;
  std::string text, want;
};

// Quoted-printable Latin-1, preference order and group kinds: also IndependentReaderTest.
void CheckAll(const std::vector<Case>& cases, std::vector<Card> (*read)(std::string_view)) {
  for (const Case& c : cases) EXPECT_EQ(Canonical(read(c.text)), c.want) << c.what;
}

TEST(VCardReaderTest, LinesFoldingAndCardBoundaries) {
  CheckAll({
      {"CRLF, group prefix, case-insensitive names",
       "BEGIN:VCARD\r\nVERSION:3.0\r\nfn:Ann Lee\r\nN:Lee;Ann;;;\r\nitem1.EMAIL;type=INTERNET:ann@x.org\r\n"
       "END:VCARD\r\n",
       "Ann Lee|Lee|Ann|ann@x.org|"},
      {"BOMs (files joined), LF and lone CR line ends, two cards",
       "\xEF\xBB\xBF" "BEGIN:VCARD\nFN:A\nEND:VCARD\r\xEF\xBB\xBF" "BEGIN:VCARD\rFN:B\rEND:VCARD", "A||||\nB||||"},
      {"folded with space and tab",
       "BEGIN:VCARD\r\nFN:Jo\r\n hn\r\n\tDoe\r\nEMAIL:j@\r\n x.org\r\nEND:VCARD\r\n", "JohnDoe|||j@x.org|"},
      {"parameters folded, quoted value with colon",
       "BEGIN:VCARD\nEMAIL;X-LABEL=\"a:b;c\";TY\n PE=pref:b@x\nEMAIL:a@x\nEND:VCARD\n", "|||b@x,a@x|"},
      {"truncated last card dropped, junk ignored",
       "junk line\n\x01\x02\nBEGIN:VCARD\nFN:A\nEND:VCARD\nrandom: text\nBEGIN:VCARD\nFN:Cut",
       "A||||"},
      {"card cut short by the next BEGIN",
       "BEGIN:VCARD\nFN:Cut\nBEGIN:VCARD\nFN:Whole\nEND:VCARD\n", "Whole||||"},
      {"2.1 AGENT nested card (both forms)",
       "BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:\nBEGIN:VCARD\nFN:Agent\nEMAIL:a@x\nEND:VCARD\n"
       "EMAIL:boss@x\nAGENT:BEGIN:VCARD\nFN:Other\nEND:VCARD\nEND:VCARD\nBEGIN:VCARD\nFN:Next\nEND:VCARD\n",
       "Boss|||boss@x|\nNext||||"},
  }, addressbook::ReadVCards);
}

TEST(VCardReaderTest, ValuesEncodingsAndEscapes) {
  CheckAll({
      {"3.0 escapes, N split at unescaped semicolons only",
       "BEGIN:VCARD\nVERSION:3.0\nFN:Doe\\, John\\nJr\\\\\nN:O\\;Neil;Jo\\,Ann;;;\nEND:VCARD\n",
       "Doe, John\nJr\\|O;Neil|Jo,Ann||"},
      {"2.1 keeps backslashes other than before a semicolon",
       "BEGIN:VCARD\nVERSION:2.1\nFN:C:\\new\nN:A\\;B;C\nEND:VCARD\n", "C:\\new|A;B|C||"},
      {"soft line break before a line starting with a space, = before END:VCARD",
       "BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen=\n M=C3=BCller\nN;QUOTED-PRINTABLE:A=\nEND:VCARD\n",
       "J\xC3\xBCrgen M\xC3\xBCller|A|||"},
      {"base64 text in both spellings",
       "BEGIN:VCARD\nFN;ENCODING=b:SsO8cmdlbg==\nN;BASE64:RG9l\nEND:VCARD\n", "J\xC3\xBCrgen|Doe|||"},
      {"invalid UTF-8 (a surrogate is three bytes, each invalid) and NUL become U+FFFD",
       std::string("BEGIN:VCARD\nFN:a\xC3(\xF0\x9F\x98\n", 22) + std::string("EMAIL:b\0c\xED\xA0\x80\nEND:VCARD\n", 22),
       "a\xEF\xBF\xBD(\xEF\xBF\xBD|||b\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|"},
      {"unknown charset taken as UTF-8",
       "BEGIN:VCARD\nFN;CHARSET=x/../y:\xC3\xA9\nEND:VCARD\n", "\xC3\xA9||||"},
  }, addressbook::ReadVCards);
}

TEST(VCardReaderTest, AddressesTrimmedAndPreferredFirst) {
  CheckAll({
      {"trimmed, mailto: dropped, empty skipped, preferred first",
       "BEGIN:VCARD\nEMAIL: a@x \nEMAIL;TYPE=\"work,pref\":MAILTO:b@x\nEMAIL:\nEMAIL;PREF:c@x\nEND:VCARD\n",
       "|||b@x,c@x,a@x|"},
      {"4.0 PREF numbers, lower first, stable otherwise",
       "BEGIN:VCARD\nVERSION:4.0\nEMAIL:a@x\nEMAIL;PREF=2:b@x\nEMAIL;PREF=1:c@x\nEMAIL:d@x\nEND:VCARD\n",
       "|||c@x,b@x,a@x,d@x|"},
      {"2.1 bare parameters",
       "BEGIN:VCARD\nVERSION:2.1\nEMAIL;INTERNET:a@x\nEMAIL;INTERNET;PREF:b@x\nEND:VCARD\n", "|||b@x,a@x|"},
  }, addressbook::ReadVCards);
}

TEST(LdifReaderTest, RecordsAttributesAndEncodings) {
  CheckAll({
      {"version, comments (folded), records, options and case ignored, mail then second mail",
       "version: 1\n# a comment\n  folded into it\ndn: cn=Ann,mail=a@x\nobjectclass: person\nCN;lang-de: Ann\n"
       "sn: Lee\ngivenName: Ann\nmozillaSecondEmail: b@x\nmail: a@x\n\n\ndn: cn=Bob\r\ncn: Bob\r\n",
       "Ann|Lee|Ann|a@x,b@x|\nBob||||"},
      {"continuation lines, base64, URL ignored, invalid UTF-8 repaired",
       "dn: cn=x\ncn: Jo\n hn\nsn:: TcO8bGxlcg==\ngivenName:< file:///etc/passwd\nmail: j\xFF@x\n",
       "John|M\xC3\xBCller||j\xEF\xBF\xBD@x|"},
      {"groups, changes other than add skipped, records without blank line, bad lines",
       "dn: cn=L\ncn: L\nobjectClass: top\nobjectClass: groupOfNames\n\ndn: cn=M\nchangetype: modify\n"
       "cn: M\n\ndn: cn=N\nchangetype: add\ncn: N\ndn: cn=O\ncn: O\n\njunk\ndn: cn=P\nno colon\ncn: P\n",
       "L||||group\nN||||\nO||||"},
  }, addressbook::ReadLdif);
}

TEST(ReaderBadInputTest, DamagedPartsAreSkippedAndTheRestIsRead) {
  const std::string card = "BEGIN:VCARD\nFN:Ok\nEMAIL:ok@x\nEND:VCARD\n";
  std::string junk;
  unsigned seed = 1;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  const std::string longLine(4u << 20, 'x');
  std::string many;
  for (int i = 0; i < 100000; ++i) many += card;
  const struct {
    const char* what;
    std::string text;
    std::size_t vcards, ldifRecords;
  } cases[] = {
      {"binary junk around cards", junk + card + junk + "\n" + card + junk, 2, 0},
      {"a 4 MB line inside and between cards", "FN:" + longLine + "\n" + card + "BEGIN:VCARD\nFN:" + longLine +
       "\nEND:VCARD\ndn: x\ncn: " + longLine + "\n", 2, 1},
      {"100000 cards", many, 100000, 0},
      {"cards cut short", card + "BEGIN:VCARD\nFN;QUOTED-PRINTABLE:a=\nEMAIL:x\n", 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(addressbook::ReadVCards(c.text).size(), c.vcards) << c.what;
    EXPECT_EQ(addressbook::ReadLdif(c.text).size(), c.ldifRecords) << c.what;
  }

  testenv::TempDir dir;
  const std::string fifo = dir.str() + "/fifo", folder = dir.str() + "/folder", other = dir.str() + "/other.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  testenv::WriteFile(other, "Just a letter,\nnot an address book.\n");
  for (const std::string& path : {fifo, folder, other, dir.str() + "/missing", other + "/below"}) {
    std::string why;
    EXPECT_FALSE(addressbook::LoadBookFile(path, &why)) << path;
    EXPECT_FALSE(why.empty()) << path;
  }
  const std::string blank = dir.str() + "/blank.vcf";
  testenv::WriteFile(blank, "\xEF\xBB\xBF\n  \r\n");
  EXPECT_EQ(addressbook::LoadBookFile(blank).value_or(std::vector<Card>(1)).size(), 0u);
}

TEST(ResolveDisplayNameTest, ExactNameFirstThenIgnoringCaseGroupsAndAddresslessCardsLeftOut) {
  using Kind = addressbook::Resolution::Kind;
  const std::vector<Card> book = {
      {"Ann", "", "", {"ann@x"}, false},     {"ANN", "", "", {"ann2@x"}, false},
      {"", "Lee", "Bo", {"bo@x", "b@x"}, false}, {"bo lee", "", "", {"BO@x"}, false},
      {"Team", "", "", {"team@x"}, true},    {"Nomail", "", "", {}, false},
      {"Twin", "", "", {"t1@x"}, false},     {"Twin", "", "", {"t2@x"}, false},
  };
  const struct {
    const char* name;
    Kind kind;
    const char* address;
  } cases[] = {
      {"Ann", Kind::Unique, "ann@x"},      {"ANN", Kind::Unique, "ann2@x"},  {"ann", Kind::Ambiguous, ""},
      {" Bo Lee ", Kind::Unique, "bo@x"},  {"BO LEE", Kind::Unique, "bo@x"}, {"Team", Kind::None, ""},
      {"Nomail", Kind::None, ""},          {"Twin", Kind::Ambiguous, ""},    {"", Kind::None, ""},
  };
  for (const auto& c : cases) {
    const auto found = addressbook::ResolveDisplayName(book, c.name);
    EXPECT_EQ(found.kind, c.kind) << c.name;
    EXPECT_EQ(found.address, c.address) << c.name;
  }
}

// The same files read by vobject and by python-ldap's ldif module
// (independent_cards.py), compared card by card.
TEST(IndependentReaderTest, VCardAndLdifFilesGiveTheSameCardsAsThePythonReaders) {
  const std::string vcards =
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen;;;\r\n"
      "FN;CHARSET=windows-1252;QUOTED-PRINTABLE:J=FCrgen M=FCller =80=\r\n=3D rich\r\n"
      "EMAIL;INTERNET:j@example.org\r\nEMAIL;INTERNET;PREF:jm@example.org\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Lee\\, Ann\r\nN:Lee;Ann;;;\r\nitem1.EMAIL;TYPE=INTERNET:mailto:\r\n "
      "ann@example.org\r\nitem2.EMAIL;TYPE=INTERNET,pref:ann.lee@example.org\r\n"
      "X-ADDRESSBOOKSERVER-KIND:individual\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\nVERSION:4.0\nFN:\xC3\x89lodie \xE6\x9D\x8E\nN:\xE6\x9D\x8E;\xC3\x89lodie;;;\n"
      "EMAIL;PREF=2:e2@example.org\nEMAIL:e3@example.org\nEMAIL;PREF=1:e1@example.org\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:4.0\nKIND:group\nFN:Team\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:3.0\nFN:Apple group\nX-ADDRESSBOOKSERVER-KIND:Group\nEND:VCARD\n";
  const std::string ldif =
      "version: 1\n# Thunderbird export\ndn: cn=Ann Lee,mail=ann@example.org\nobjectclass: top\n"
      "objectclass: person\nobjectclass: mozillaAbPersonAlpha\ngivenName: Ann\nsn: Lee\ncn: Ann Lee\n"
      "mail: ann@example.org\nmozillaSecondEmail: ann.lee@exam\n ple.org\n\n"
      "dn:: Y249SsO8cmdlbiBNw7xsbGVy\ncn:: SsO8cmdlbiBNw7xsbGVy\nsn:: TcO8bGxlcg==\nmail: j@example.org\n\n"
      "dn: cn=Team\nobjectclass: top\nobjectclass: groupOfNames\ncn: Team\nmember: cn=Ann Lee\n";
  testenv::TempDir dir;
  for (const auto& [kind, text] : {std::pair{"vcard", vcards}, std::pair{"ldif", ldif}}) {
    const std::string path = dir.str() + "/book." + kind;
    testenv::WriteFile(path, text);
    const auto cards = addressbook::LoadBookFile(path);
    ASSERT_TRUE(cards) << kind;
    const std::string python = testenv::RunCommand("/usr/bin/python3 " TARVO_SOURCE_DIR
                                                   "/tests/providers/addressbook/independent_cards.py " +
                                                   std::string(kind) + " " + path);
    EXPECT_EQ(Canonical(*cards), python) << kind;
    EXPECT_EQ(cards->size(), std::string(kind) == "vcard" ? 5u : 3u) << python;
  }
}

}  // namespace
