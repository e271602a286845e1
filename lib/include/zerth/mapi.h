// Simple MAPI as published: the message, recipient and file descriptors, the
// flags and result codes, and the MAPISendMail entry point that a mail
// provider (libmapi32.so) exports with C linkage.
#pragma once

#include <cstdint>

extern "C" {

typedef std::uint32_t MAPI_ULONG;
typedef std::uintptr_t LHANDLE;
typedef std::uintptr_t MAPI_ULONG_PTR;
typedef std::uint32_t FLAGS;

struct MapiFileDesc {
  MAPI_ULONG ulReserved;   // must be 0
  MAPI_ULONG flFlags;      // MAPI_OLE, MAPI_OLE_STATIC
  MAPI_ULONG nPosition;    // character of the note text the attachment replaces
  char* lpszPathName;      // full path of the file
  char* lpszFileName;      // name shown to the recipient, may be null
  void* lpFileType;        // reserved, null
};

struct MapiRecipDesc {
  MAPI_ULONG ulReserved;   // must be 0
  MAPI_ULONG ulRecipClass; // MAPI_ORIG, MAPI_TO, MAPI_CC, MAPI_BCC
  char* lpszName;          // display name, or the address to resolve
  char* lpszAddress;       // "SMTP:user@host" or a plain address, may be null
  MAPI_ULONG ulEIDSize;
  void* lpEntryID;
};

struct MapiMessage {
  MAPI_ULONG ulReserved;
  char* lpszSubject;
  char* lpszNoteText;
  char* lpszMessageType;
  char* lpszDateReceived;
  char* lpszConversationID;
  FLAGS flFlags;
  MapiRecipDesc* lpOriginator;
  MAPI_ULONG nRecipCount;
  MapiRecipDesc* lpRecips;
  MAPI_ULONG nFileCount;
  MapiFileDesc* lpFiles;
};

typedef MAPI_ULONG (*LPMAPISENDMAIL)(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam, MapiMessage* lpMessage,
                                     FLAGS flFlags, MAPI_ULONG ulReserved);

MAPI_ULONG MAPISendMail(LHANDLE lhSession, MAPI_ULONG_PTR ulUIParam, MapiMessage* lpMessage, FLAGS flFlags,
                        MAPI_ULONG ulReserved);

}  // extern "C"

// Recipient classes.
#define MAPI_ORIG 0
#define MAPI_TO 1
#define MAPI_CC 2
#define MAPI_BCC 3

// Flags of MAPISendMail.
#define MAPI_LOGON_UI 0x00000001
#define MAPI_NEW_SESSION 0x00000002
#define MAPI_DIALOG 0x00000008

// Result codes.
#define SUCCESS_SUCCESS 0
#define MAPI_USER_ABORT 1
#define MAPI_E_USER_ABORT MAPI_USER_ABORT
#define MAPI_E_FAILURE 2
#define MAPI_E_LOGIN_FAILURE 3
#define MAPI_E_LOGON_FAILURE MAPI_E_LOGIN_FAILURE
#define MAPI_E_DISK_FULL 4
#define MAPI_E_INSUFFICIENT_MEMORY 5
#define MAPI_E_ACCESS_DENIED 6
#define MAPI_E_TOO_MANY_SESSIONS 8
#define MAPI_E_TOO_MANY_FILES 9
#define MAPI_E_TOO_MANY_RECIPIENTS 10
#define MAPI_E_ATTACHMENT_NOT_FOUND 11
#define MAPI_E_ATTACHMENT_OPEN_FAILURE 12
#define MAPI_E_ATTACHMENT_WRITE_FAILURE 13
#define MAPI_E_UNKNOWN_RECIPIENT 14
#define MAPI_E_BAD_RECIPTYPE 15
#define MAPI_E_TEXT_TOO_LARGE 18
#define MAPI_E_AMBIGUOUS_RECIPIENT 21
#define MAPI_E_NOT_SUPPORTED 26
#define MAPI_E_INVALID_RECIPS 25
