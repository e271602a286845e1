// MAPISendMail: the provider's one entry point. Resolves the caller's
// structures, builds the message and hands it to the account's transport;
// every failure comes back as a Simple MAPI result code, never as an
// exception or a crash across the C boundary.
// First of all includes: only the published entry point leaves the module,
// which is built with hidden visibility.
#pragma GCC visibility push(default)
#include <zerth/mapi.h>
#pragma GCC visibility pop

#include "Attachment.h"
#include "Charset.h"
#include "GMimeRuntime.h"
#include "MailAccount.h"
#include "MapiError.h"
#include "MessageBuilder.h"
#include "NoteText.h"
#include "Recipient.h"
#include "TransportFactory.h"

#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace mapi32 {

namespace {

void CheckArrays(const MapiMessage& message) {
  if ((message.nRecipCount > 0 && !message.lpRecips) || (message.nFileCount > 0 && !message.lpFiles))
    throw MapiError(MAPI_E_FAILURE);
}

// The account's address; the display name is the originator's name when the
// message gives one, else the account's "FromName", else a name written in
// "From" itself ("Name <addr>").
void SetSender(const MapiMessage& message, const MailAccount& account, MessageBuilder& builder) {
  std::string nameInFrom;
  std::string address;
  if (!ParseMailbox(account.from, nameInFrom, address))
    FailWith(MAPI_E_FAILURE, "the mail account's sender \"" + account.from + "\" (HKEY_CURRENT_USER\\" +
                                 kMailAccountKey + "\\From) is not an e-mail address");
  std::string name = message.lpOriginator ? HeaderText(FieldText(message.lpOriginator->lpszName)) : std::string();
  if (name.empty()) name = account.fromName;
  if (name.empty()) name = nameInFrom;
  builder.setFrom(name, address);
}

void AddRecipients(const MapiMessage& message, MessageBuilder& builder) {
  std::span<const MapiRecipDesc> recips(message.lpRecips, message.nRecipCount);
  if (recips.empty()) throw MapiError(MAPI_E_UNKNOWN_RECIPIENT);
  for (const MapiRecipDesc& desc : recips) builder.addRecipient(ResolveRecipient(desc));
}

void AddBodyAndAttachments(const MapiMessage& message, MessageBuilder& builder) {
  std::span<const MapiFileDesc> files(message.lpFiles, message.nFileCount);
  std::vector<MAPI_ULONG> positions;
  positions.reserve(files.size());
  for (const MapiFileDesc& file : files) positions.push_back(file.nPosition);
  builder.setBody(PrepareNoteText(FieldText(message.lpszNoteText), positions));
  for (const MapiFileDesc& file : files) builder.addAttachment(LoadAttachment(file));
}

MAPI_ULONG Send(const MapiMessage& message, LogonRequest logon) {
  CheckArrays(message);
  EnsureGMime();
  MessageBuilder builder;
  AddRecipients(message, builder);
  AddBodyAndAttachments(message, builder);
  builder.setSubject(HeaderText(FieldText(message.lpszSubject)));

  MailAccount account = MailAccount::Read();
  std::unique_ptr<Transport> transport = MakeTransport(account, logon);
  SetSender(message, account, builder);
  transport->deliver(builder.build());
  return SUCCESS_SUCCESS;
}

}  // namespace

}  // namespace mapi32

// The session and the reserved argument are not used. MAPI_LOGON_UI lets the
// smtp transport ask for a password it does not have, in a dialog over the
// window whose native id is ulUIParam. MAPI_DIALOG asks for the mail
// client's compose dialog, which this provider does not have; such a message
// is sent as it stands, exactly as without the flag, because the caller has
// already filled in everything it wants sent.
extern "C" MAPI_ULONG MAPISendMail(LHANDLE /*lhSession*/, MAPI_ULONG_PTR ulUIParam, MapiMessage* lpMessage,
                                   FLAGS flFlags, MAPI_ULONG /*ulReserved*/) {
  if (!lpMessage) return MAPI_E_FAILURE;
  try {
    return mapi32::Send(*lpMessage, mapi32::LogonRequest{flFlags, ulUIParam});
  } catch (const mapi32::MapiError& error) {
    return error.code();
  } catch (const std::bad_alloc&) {
    return MAPI_E_INSUFFICIENT_MEMORY;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mapi32: %s\n", error.what());
    return MAPI_E_FAILURE;
  } catch (...) {
    return MAPI_E_FAILURE;
  }
}
