// A mail provider that knows Zerth only through Zerth::mapi, the installed
// Simple MAPI header: it builds without the library.
#include <zerth/mapi.h>

extern "C" MAPI_ULONG MAPISendMail(LHANDLE, MAPI_ULONG_PTR, MapiMessage* lpMessage, FLAGS, MAPI_ULONG) {
  return lpMessage != nullptr && lpMessage->nRecipCount > 0 ? SUCCESS_SUCCESS : MAPI_E_INVALID_RECIPS;
}
