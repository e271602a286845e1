// OutlookReading: what the two contacts pickers read from the contacts object
// model, in the same way: the default contacts folder, a folder's name,
// subfolders and contacts, and the rule that makes a recipient of a contact.
// Every call checks its result through ComCheck, so a failure raises
// _com_error; the pickers decide where it ends their reading.
#pragma once

#include <zproviders/OutlookApi.h>

#include <functional>
#include <string>

namespace tarvo::outlook {

// One contact as the pickers use it.
struct ContactEntry {
  std::string address;  // Email1Address
  std::string name;     // handed over as the recipient's name
  std::string label;    // shown in the contacts tree
};

// The contact rule: the address first; then, for a contact with an address
// only, the name from FirstName, FullName, LastNameAndFirstName, LastName and
// the label from FullName, LastNameAndFirstName, LastName, FirstName, each the
// first non-empty of its chain, read no further than needed. False (name and
// label not read) when the address is empty.
bool ReadContact(_ContactItem& item, ContactEntry& entry);

// Creates the application object, gets its "MAPI" namespace and the default
// contacts folder, and runs load on that folder while the application and
// namespace are held. An application that cannot be created, or a COM error
// outside load's own handling, ends this quietly: the caller shows what was
// loaded so far. Returns whether load ran.
bool ReadDefaultContactsFolder(const std::function<void(MAPIFolder&)>& load);

// The folder's Name.
std::string FolderName(MAPIFolder& folder);

// Calls visit for each subfolder in collection order.
void ForEachSubfolder(MAPIFolder& folder, const std::function<void(MAPIFolder&)>& visit);

// Calls visit for each contact with an address among the folder's items, in
// collection order. Items that are not contacts (a distribution list answers
// E_NOINTERFACE) are skipped and the walk goes on to the end of the
// collection, so that contacts after a list are still offered.
void ForEachContact(MAPIFolder& folder, const std::function<void(ContactEntry&&)>& visit);

}  // namespace tarvo::outlook
