// The items of a contacts folder, read file by file as the walk goes on, and
// the contact item over one card.
#include "ComObject.h"
#include "ContactsModel.h"

#include <deque>

namespace contacts {

namespace {

class Items final : public ComObject<_Items, IID__Items> {
public:
  Items(std::string folderPath, std::vector<std::string> fileNames)
      : m_prefix(folderPath.ends_with('/') ? folderPath : folderPath + '/'), m_fileNames(std::move(fileNames)) {}

  HRESULT GetFirst(IDispatch** ppItem) override {
    m_nextFile = 0;
    m_pending.clear();
    return GetNext(ppItem);
  }

  HRESULT GetNext(IDispatch** ppItem) override {
    if (!ppItem) return E_POINTER;
    *ppItem = nullptr;
    // Files without a readable card add nothing; each file is read once.
    while (m_pending.empty() && m_nextFile < m_fileNames.size()) {
      std::vector<addressbook::Card> cards = ReadCardFile(m_prefix + m_fileNames[m_nextFile++]);
      m_pending.assign(std::make_move_iterator(cards.begin()), std::make_move_iterator(cards.end()));
    }
    if (m_pending.empty()) return S_OK;
    addressbook::Card card = std::move(m_pending.front());
    m_pending.pop_front();
    return HandOver(NewItem(std::move(card)), ppItem);
  }

private:
  std::string m_prefix;
  std::vector<std::string> m_fileNames;
  std::size_t m_nextFile = 0;
  // The cards of the file read last that are still to come.
  std::deque<addressbook::Card> m_pending;
};

class ContactItem final : public ComObject<_ContactItem, IID__ContactItem> {
public:
  explicit ContactItem(addressbook::Card card) : m_card(std::move(card)) {}

  HRESULT get_Email1Address(BSTR* pValue) override {
    return ReturnText(m_card.emails.empty() ? std::string() : m_card.emails.front(), pValue);
  }
  HRESULT get_FirstName(BSTR* pValue) override { return ReturnText(m_card.givenName, pValue); }
  HRESULT get_LastName(BSTR* pValue) override { return ReturnText(m_card.familyName, pValue); }
  HRESULT get_FullName(BSTR* pValue) override {
    if (!m_card.formattedName.empty()) return ReturnText(m_card.formattedName, pValue);
    return ReturnText(Joined(m_card.givenName, " ", m_card.familyName), pValue);
  }
  HRESULT get_LastNameAndFirstName(BSTR* pValue) override {
    return ReturnText(Joined(m_card.familyName, ", ", m_card.givenName), pValue);
  }

protected:
  // A group is a distribution list, not a contact.
  bool Supports(REFIID riid) const override {
    if (riid == IID__ContactItem) return !m_card.isGroup;
    return ComObject::Supports(riid);
  }

private:
  // The two parts with the separator between them, or the one that exists.
  static std::string Joined(const std::string& first, std::string_view separator, const std::string& second) {
    if (first.empty() || second.empty()) return first.empty() ? second : first;
    std::string text = first;
    text += separator;
    text += second;
    return text;
  }

  addressbook::Card m_card;
};

}  // namespace

zplatform::ComPtr<_Items> NewItems(std::string folderPath, std::vector<std::string> fileNames) {
  return MakeObject<Items, _Items>(std::move(folderPath), std::move(fileNames));
}

zplatform::ComPtr<IDispatch> NewItem(addressbook::Card card) {
  return MakeObject<ContactItem, IDispatch>(std::move(card));
}

}  // namespace contacts
