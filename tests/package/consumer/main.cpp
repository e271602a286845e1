// A program that knows Zerth only through its installed package: it sends
// one message through Simple MAPI, without any QApplication. It includes
// only the umbrella header and touches every public class, so a class the
// header leaves out fails this build.
#include <zerth/zerth.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool EveryClassWorks() {
  unsigned char block[8] = {'z', 'e', 'r', 't', 'h', '!', '!', '!'};
  Crypt::Block chain{0, 0}, back{0, 0};
  Crypt crypt("consumer key");
  crypt.Encrypt(block, sizeof block, chain);
  crypt.Decrypt(block, sizeof block, back);

  std::unique_ptr<CMIMECode> code = std::make_unique<CBase64>();
  std::unique_ptr<CMIMEContentAgent> text = std::make_unique<CTextPlain>(MIME_TEXT_PLAIN);
  std::unique_ptr<CMIMEContentAgent> file = std::make_unique<CAppOctetStream>(MIME_APP_OCTET_STREAM);
  CMailMessage mail;
  return std::memcmp(block, "zerth!!!", 8) == 0 && code->Encode("abc", 3) == "YWJj" &&
         text->GetContentTypeString() == "text/plain" &&
         file->GetContentTypeString() == "application/octet-stream" && mail.AddRecipient("a@b.c", "A") &&
         std::strlen(CZerthUtility::GetAppDir()) > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: consumer ADDRESS\n");
    return 2;
  }
  if (!EveryClassWorks()) {
    std::fprintf(stderr, "a public class does not work through the installed package\n");
    return 1;
  }
  CIMapi mapi;
  if (unsigned error = mapi.Error()) {
    std::fprintf(stderr, "cannot load the mail provider (%u)\n", error);
    return 1;
  }
  mapi.To(argv[1]);
  mapi.Subject("Hello from a Zerth consumer");
  mapi.Text("This message went through the installed library.\n");
  const unsigned result = mapi.Send(0);
  std::printf("MAPISendMail result: %u\n", result);
  return result == 0 ? 0 : 1;
}
