// A program that knows Zerth only through its installed package: it sends a
// multipart message with a file attached to an SMTP server.
#include <zerth/zerth.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: mime_consumer HOST PORT ADDRESS FILE\n");
    return 2;
  }
  CMIMEMessage message;
  message.m_sFrom = "consumer@example.org";
  message.m_sSubject = "A file from a Zerth consumer";
  message.m_sBody = "The file is attached.";
  message.AddRecipient(argv[3], "Recipient");
  message.AddMIMEPart(argv[4], MIME_APP_OCTET_STREAM);

  CSMTP smtp(argv[1], static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
  if (!smtp.Connect() || !smtp.SendMessageA(&message)) {
    std::fprintf(stderr, "SMTP: %s\n", smtp.GetLastError().c_str());
    return 1;
  }
  smtp.Disconnect();
  std::printf("sent\n");
  return 0;
}
