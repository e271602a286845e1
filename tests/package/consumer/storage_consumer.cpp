// A program built against the installed library: writes the compound file
// named on the command line through CSSFile, with the stream "Readme" at the
// root and the storage "Data" holding the stream "Numbers", then opens it
// again and prints both streams, one per line.
#include <zerth/zerth.h>

#include <cstdio>
#include <string>

namespace {

bool Put(CSSFile& file, const std::string& name, const std::string& text) {
  COleStreamFile stream;
  return file.CreateStream(name, stream) && stream.Write(text.data(), static_cast<UINT>(text.size()));
}

std::string Get(CSSFile& file, const std::string& name) {
  COleStreamFile stream;
  if (!file.OpenStream(name, stream, STGM_READ | STGM_SHARE_EXCLUSIVE)) return "<missing>";
  std::string text(stream.GetLength(), '\0');
  text.resize(stream.Read(text.data(), static_cast<UINT>(text.size())));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  CSSFile file;
  if (!file.CreateSSFile(argv[1]) || !Put(file, "Readme", "written by the storage consumer") ||
      !file.CreateStorage("Data") || !Put(file, "Numbers", "1 2 3 5 8 13")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("path: %s\n", file.GetPath("/").c_str());
  file.Close();

  if (!file.OpenSSFile(argv[1], STGM_READ | STGM_SHARE_DENY_WRITE)) {
    std::fprintf(stderr, "cannot open %s again\n", argv[1]);
    return 1;
  }
  std::printf("%s\n", Get(file, "Readme").c_str());
  if (!file.EnterStorage("Data", STGM_READ | STGM_SHARE_EXCLUSIVE)) return 1;
  std::printf("%s\n", Get(file, "Numbers").c_str());
  return 0;
}
