// A stand-in provider that records what MAPISendMail receives, with the state
// of the application's windows during the call, and answers with the result
// code named by the subject's first character ('0' + code).
#include "RecordingProvider.h"

#include <zerth/mapi.h>

#include <QApplication>
#include <QWidget>

#include <cstring>

namespace {
RecordedCall g_call;
}

extern "C" const RecordedCall* RecordedMapiCall() { return &g_call; }

extern "C" MAPI_ULONG MAPISendMail(LHANDLE, MAPI_ULONG_PTR ulUIParam, MapiMessage* msg, FLAGS flFlags, MAPI_ULONG) {
  g_call = {};
  g_call.calls = 1;
  g_call.uiParam = ulUIParam;
  g_call.flags = flFlags;
  g_call.subject = msg->lpszSubject ? msg->lpszSubject : "";
  g_call.noteText = msg->lpszNoteText ? msg->lpszNoteText : "";
  for (MAPI_ULONG i = 0; i < msg->nRecipCount; ++i) {
    const MapiRecipDesc& r = msg->lpRecips[i];
    g_call.recipients.push_back({r.ulRecipClass, r.lpszName ? r.lpszName : "", r.lpszAddress == nullptr});
  }
  static const MapiRecipDesc zero{};
  g_call.spareRecipientZeroed =
      msg->nRecipCount > 0 && std::memcmp(&msg->lpRecips[msg->nRecipCount], &zero, sizeof zero) == 0;
  for (MAPI_ULONG i = 0; i < msg->nFileCount; ++i) g_call.attachmentPositions.push_back(msg->lpFiles[i].nPosition);
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    g_call.waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) g_call.ownerEnabled = g_call.ownerEnabled && w->isEnabled();
  }
  const char first = g_call.subject.empty() ? '0' : g_call.subject[0];
  return (first >= '0' && first <= '9') ? static_cast<MAPI_ULONG>(first - '0') : 0;
}
