// FtpPasvReply: the address and port of a PASV reply (internal to the
// library), "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)", read strictly:
// six decimal numbers of 0 to 255, nothing read beyond the text.
#pragma once

#include <string>
#include <string_view>

namespace zerth::detail {

struct PasvAddress {
  // 0 parsed; 3 no '(' or fewer than six numbers (a blank one is none); 4 the host numbers do not
  // form an address; 5 the port numbers do not form a port (or port 0).
  int result = 3;
  std::string address;  // dotted, "h1.h2.h3.h4"
  unsigned port = 0;
};

// text is the reply text after the code.
PasvAddress ParsePasvReply(std::string_view text);

}  // namespace zerth::detail
