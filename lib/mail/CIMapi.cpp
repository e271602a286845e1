// CIMapi: builds one Simple MAPI message and hands it to the provider.
#include <zerth/CIMapi.h>

#include <zplatform/DynamicLibrary.h>
#include <zplatform/Profile.h>
#include <zplatform/UiServices.h>

#include <cstdlib>
#include <cstring>

void* CIMapi::m_hInstMail = nullptr;
int CIMapi::m_isMailAvail = -1;

namespace {

HMODULE MailLibrary(void* handle) { return static_cast<HMODULE>(handle); }

// Grows a C array of trivially copyable descriptors to newCount entries and
// zeroes the entries from oldCount on. On failure the old array stays valid
// and untouched, so recipients or attachments added earlier are not lost.
template <typename T>
bool GrowArray(T*& array, std::size_t oldCount, std::size_t newCount) {
  void* grown = std::realloc(array, newCount * sizeof(T));
  if (!grown) return false;
  array = static_cast<T*>(grown);
  std::memset(static_cast<void*>(array + oldCount), 0, (newCount - oldCount) * sizeof(T));
  return true;
}

}  // namespace

CIMapi::CIMapi() : m_error(0), m_pfnSendMail(nullptr) {
  std::memset(&m_message, 0, sizeof m_message);
  std::memset(&m_from, 0, sizeof m_from);
  m_from.ulRecipClass = MAPI_ORIG;
  m_message.lpOriginator = &m_from;

  if (!m_hInstMail) {
    m_hInstMail = LoadLibrary("MAPI32.DLL");
    if (!m_hInstMail) {
      m_error = kErrorLoadLibrary;
      return;
    }
  }
  m_pfnSendMail = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(MailLibrary(m_hInstMail), "MAPISendMail"));
  if (!m_pfnSendMail) m_error = kErrorNoEntryPoint;
}

CIMapi::~CIMapi() {
  if (m_hInstMail) {
    FreeLibrary(MailLibrary(m_hInstMail));
    m_hInstMail = nullptr;
  }
  std::free(m_message.lpRecips);
  std::free(m_message.lpFiles);
}

int CIMapi::HasEmail() {
  if (m_isMailAvail != -1) return m_isMailAvail;
  const bool profileSaysYes = GetProfileInt("MAIL", "MAPI", 0) != 0;
  m_isMailAvail = profileSaysYes && !zplatform::SearchLibrary("MAPI32.DLL").empty() ? 1 : 0;
  return m_isMailAvail;
}

int CIMapi::AllocNewTo() {
  const std::size_t count = m_message.nRecipCount;
  // One entry for the new recipient and a zeroed spare behind it.
  return GrowArray(m_message.lpRecips, count, count + 2) ? 1 : 0;
}

int CIMapi::AddRecipient(const char* recipient, MAPI_ULONG recipClass, unsigned errorCode) {
  if (!AllocNewTo()) {
    m_error = errorCode;
    return 0;
  }
  MapiRecipDesc& desc = m_message.lpRecips[m_message.nRecipCount];
  desc.ulRecipClass = recipClass;
  // The address stays null: the mail layer resolves the text as a name or address.
  desc.lpszName = const_cast<char*>(recipient);
  ++m_message.nRecipCount;
  return 1;
}

int CIMapi::To(const char* recipient) { return AddRecipient(recipient, MAPI_TO, kErrorTo); }

int CIMapi::Cc(const char* recipient) { return AddRecipient(recipient, MAPI_CC, kErrorCc); }

void CIMapi::From(const char* name) { m_from.lpszName = const_cast<char*>(name); }

void CIMapi::Subject(const char* subject) { m_message.lpszSubject = const_cast<char*>(subject); }

void CIMapi::Text(const char* text) { m_text = text ? text : ""; }

int CIMapi::Attach(const char* path, const char* name) {
  const std::size_t count = m_message.nFileCount;
  if (!GrowArray(m_message.lpFiles, count, count + 1)) {
    m_error = kErrorAttach;
    return 0;
  }
  MapiFileDesc& desc = m_message.lpFiles[count];
  desc.lpszPathName = const_cast<char*>(path);
  desc.lpszFileName = const_cast<char*>(name);
  ++m_message.nFileCount;
  return 1;
}

unsigned CIMapi::Send(unsigned long flags) {
  // Without a provider there is nothing to call through.
  if (!m_pfnSendMail) return MAPI_E_FAILURE;

  zplatform::ModalCallScope modal;  // wait cursor, owner disabled until we return

  // Each attachment takes the place of its own space after the body.
  const std::size_t bodyLength = m_text.size();
  for (MAPI_ULONG i = 0; i < m_message.nFileCount; ++i) {
    m_text += ' ';
    m_message.lpFiles[i].nPosition = static_cast<MAPI_ULONG>(bodyLength + i);
  }
  m_message.lpszNoteText = m_text.data();

  return m_pfnSendMail(0, modal.ownerWindowId(), &m_message, static_cast<FLAGS>(flags | MAPI_LOGON_UI), 0);
}

unsigned CIMapi::Error() {
  const unsigned error = m_error;
  m_error = 0;
  return error;
}
