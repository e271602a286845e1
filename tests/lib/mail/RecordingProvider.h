// What the recording stand-in provider saw of the one call it received
// (exported by it as RecordedMapiCall).
#pragma once

#include <string>
#include <vector>

struct RecordedCall {
  struct Recipient {
    unsigned recipClass;
    std::string name;
    bool addressIsNull;
  };
  int calls = 0;
  unsigned long long uiParam = 0;
  unsigned flags = 0;
  std::string subject, noteText;
  std::vector<Recipient> recipients;
  std::vector<unsigned> attachmentPositions;
  bool spareRecipientZeroed = false;
  bool waitCursor = false;    // during the call
  bool ownerEnabled = true;   // every visible window, during the call
};

using RecordedCallFn = const RecordedCall* (*)();
