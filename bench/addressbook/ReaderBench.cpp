// The card readers over generated books of 100,000 entries held in memory:
// vCard 3.0 (folded lines, grouped and preferred addresses), vCard 2.1
// (quoted-printable in ISO-8859-1, converted with iconv) and an LDIF export
// as Thunderbird writes it. Counters: cards per second and input bytes per
// second.
//   build/ci/bin/addressbook_bench --benchmark_filter=Read --benchmark_counters_tabular=true
#include <addressbook/LdifReader.h>
#include <addressbook/VCardReader.h>

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kEntries = 100'000;

std::string VCard30Book() {
  std::string text;
  for (int i = 0; i < kEntries; ++i) {
    const std::string n = std::to_string(i);
    text += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact Number " + n + "\r\nN:Number " + n +
            ";Contact;;;\r\nitem1.EMAIL;TYPE=INTERNET:user" + n + "@mail.example.org\r\nitem2.EMAIL;TYPE=INTERNET,pref:"
            "preferred.address.of.a.rather.long.name" + n + "@mail.example.org\r\nNOTE:A note long enough to be fol\r\n"
            " ded as writers fold lines of more than seventy-five octets.\r\nEND:VCARD\r\n";
  }
  return text;
}

std::string VCard21Book() {
  std::string text;
  for (int i = 0; i < kEntries; ++i) {
    const std::string n = std::to_string(i);
    text += "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller " + n +
            ";J=FCrgen\r\nFN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:J=FCrgen M=FCller=\r\n " + n +
            "\r\nEMAIL;INTERNET;PREF:j" + n + "@example.org\r\nEND:VCARD\r\n";
  }
  return text;
}

std::string LdifBook() {
  std::string text = "version: 1\n";
  for (int i = 0; i < kEntries; ++i) {
    const std::string n = std::to_string(i);
    text += "dn: cn=Contact Number " + n + ",mail=user" + n + "@mail.example.org\nobjectclass: top\n"
            "objectclass: person\nobjectclass: organizationalPerson\nobjectclass: inetOrgPerson\n"
            "objectclass: mozillaAbPersonAlpha\ngivenName: Contact\nsn: Number " + n + "\ncn: Contact Number " + n +
            "\nmail: user" + n + "@mail.example.org\nmozillaSecondEmail: second" + n + "@mail.example.org\n"
            "modifytimestamp: 0Z\n\n";
  }
  return text;
}

template <typename Reader>
void ReadBook(benchmark::State& state, const std::string& text, Reader read) {
  std::size_t cards = 0;
  for (auto _ : state) {
    const auto result = read(text);
    cards = result.size();
    benchmark::DoNotOptimize(result.data());
  }
  if (cards != static_cast<std::size_t>(kEntries)) state.SkipWithError("not every entry was read");
  state.counters["cards/s"] = benchmark::Counter(static_cast<double>(cards), benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ReadVCards30(benchmark::State& state) {
  static const std::string text = VCard30Book();
  ReadBook(state, text, addressbook::ReadVCards);
}
BENCHMARK(BM_ReadVCards30)->Unit(benchmark::kMillisecond);

void BM_ReadVCards21QuotedPrintable(benchmark::State& state) {
  static const std::string text = VCard21Book();
  ReadBook(state, text, addressbook::ReadVCards);
}
BENCHMARK(BM_ReadVCards21QuotedPrintable)->Unit(benchmark::kMillisecond);

void BM_ReadLdif(benchmark::State& state) {
  static const std::string text = LdifBook();
  ReadBook(state, text, addressbook::ReadLdif);
}
BENCHMARK(BM_ReadLdif)->Unit(benchmark::kMillisecond);

}  // namespace
