// Fuzz target of CMailMessage::AddMultipleRecipients: any bytes, read as a
// zero-terminated list, must parse without a crash or sanitizer report and
// obey the list rules; formatting the result must work too.
#include <zerth/CMailMessage.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

static void Check(bool condition) {
  if (!condition) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string list(reinterpret_cast<const char*>(data), size);
  list.resize(std::min(list.find('\0'), list.size()));
  CMailMessage message;
  const int result = message.AddMultipleRecipients(list.c_str());
  const auto entries = static_cast<int>(std::count(list.begin(), list.end(), ';')) + 1;
  const int count = message.GetNumRecipients();
  // Every entry before a malformed one is added; a full parse adds them all.
  Check(result ? count == entries : count < entries);
  for (int i = 0; i < count; ++i) {
    std::string address, name;
    Check(message.GetRecipient(address, name, i) != 0);
    Check(address.find(';') == std::string::npos && name.find(';') == std::string::npos);
    Check(name.find('<') == std::string::npos);
  }
  message.m_sBody = list;
  message.FormatMessageA();
  Check(message.m_sBody.ends_with("\r\n"));
  return 0;
}
