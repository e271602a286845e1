// A program that knows Zerth only through its installed package: it sends
// one message through Simple MAPI, without any QApplication.
#include <zerth/zerth.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: consumer ADDRESS\n");
    return 2;
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
