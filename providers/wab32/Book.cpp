#include "Book.h"

#include <addressbook/AddressBookFile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace wab32 {

namespace {

std::shared_ptr<const Book> RowsOf(const std::vector<addressbook::Card>& cards) {
  auto book = std::make_shared<Book>();
  book->rows.reserve(cards.size());
  for (const addressbook::Card& card : cards) {
    if (!card.isGroup && card.emails.empty()) continue;
    book->rows.push_back({addressbook::DisplayName(card), card.emails.empty() ? std::string() : card.emails.front(),
                          card.isGroup ? MAPI_DISTLIST : MAPI_MAILUSER});
  }
  return book;
}

}  // namespace

OpenedBook OpenBook(const char* fileName) {
  const bool named = fileName && *fileName;
  const std::string path = named ? std::string(fileName) : addressbook::DefaultBookPath();
  // The loader reports only that it failed; the checks before it tell the
  // caller why where that matters (missing, or not ours to read).
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return {MAPI_E_NO_ACCESS, nullptr};
    if (named) return {MAPI_E_NOT_FOUND, nullptr};
    return {S_OK, std::make_shared<const Book>()};
  }
  if (!S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0) return {MAPI_E_NO_ACCESS, nullptr};
  const std::optional<std::vector<addressbook::Card>> cards = addressbook::LoadBookFile(path);
  if (!cards) return {MAPI_E_CALL_FAILED, nullptr};
  return {S_OK, RowsOf(*cards)};
}

}  // namespace wab32
