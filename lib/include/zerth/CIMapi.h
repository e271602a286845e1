// CIMapi: one message handed to the system's Simple MAPI mail layer.
//
// The provider library (MAPI32.DLL, on Linux libmapi32.so) is loaded at run
// time and shared by all objects; every destructor unloads it, so at most one
// CIMapi may be alive at a time. To, Cc, From, Subject and Attach keep the
// caller's pointers: the caller keeps those texts alive until Send returns.
// Only Text copies its argument.
#pragma once

#include <zerth/Export.h>
#include <zerth/mapi.h>

#include <string>

class ZERTH_API CIMapi {
public:
  // Prepares an empty message and loads the provider when it is not loaded.
  // Error() then gives 61840 when the library is missing, 61841 when it has no
  // MAPISendMail.
  CIMapi();
  // Unloads the provider and frees the recipient and attachment arrays.
  ~CIMapi();
  CIMapi(const CIMapi&) = delete;
  CIMapi& operator=(const CIMapi&) = delete;

  // Non-zero when the system offers Simple MAPI mail: MAPI=1 in [MAIL] of
  // win.ini and the provider on the program directory or PATH. Asked once per
  // process; later calls return the cached answer.
  static int HasEmail();

  // Adds a primary recipient; 1, or 0 with Error() = 1.
  int To(const char* recipient);
  // Adds a copy recipient; 1, or 0 with Error() = 2.
  int Cc(const char* recipient);
  // Sets the originator's name.
  void From(const char* name);
  // Sets the subject.
  void Subject(const char* subject);
  // Sets the body text (copied).
  void Text(const char* text);
  // Adds an attachment: the file's full path and the name shown for it (may
  // be null); 1, or 0 with Error() = 3.
  int Attach(const char* path, const char* name = nullptr);

  // Submits the message with MAPI_LOGON_UI added to the flags and returns
  // MAPISendMail's result unchanged; MAPI_E_FAILURE (2) without a provider.
  unsigned Send(unsigned long flags = 0);

  // The last error code, reset to 0 by the call.
  unsigned Error();

  // Error codes kept in m_error.
  static constexpr unsigned kErrorTo = 1;
  static constexpr unsigned kErrorCc = 2;
  static constexpr unsigned kErrorAttach = 3;
  static constexpr unsigned kErrorLoadLibrary = 61840;
  static constexpr unsigned kErrorNoEntryPoint = 61841;

private:
  // Grows the recipient array by one zeroed entry, keeping a zeroed spare after it.
  int AllocNewTo();
  int AddRecipient(const char* recipient, MAPI_ULONG recipClass, unsigned errorCode);

  MapiMessage m_message;
  MapiRecipDesc m_from;
  unsigned m_error;
  std::string m_text;
  LPMAPISENDMAIL m_pfnSendMail;

  static void* m_hInstMail;  // the loaded provider (an HMODULE), shared by all objects
  static int m_isMailAvail;  // -1 until HasEmail has looked, then 0 or 1
};
