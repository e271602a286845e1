// What the recording stand-in provider saw of the one call it received.
#pragma once

#include <string>
#include <vector>

struct RecordedRecipient {
  unsigned recipClass;
  std::string name;
  bool addressIsNull;
};

struct RecordedCall {
  int calls = 0;
  unsigned long long uiParam = 0;
  unsigned flags = 0;
  std::string subject;
  std::string noteText;
  std::vector<RecordedRecipient> recipients;
  std::vector<unsigned> attachmentPositions;
  bool spareRecipientZeroed = false;
  // The application's state during the call.
  bool waitCursor = false;
  bool ownerEnabled = true;
};

// Exported by the recording provider.
using RecordedCallFn = const RecordedCall* (*)();
