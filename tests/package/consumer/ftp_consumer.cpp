// ftp_consumer HOST USER PASS, built against the installed library: in active
// and in passive mode uploads a file, finds it in the listing, downloads and
// deletes it. Exits 0 only when every step worked and the bytes came back.
#include <zerth/zerth.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4) return std::fprintf(stderr, "usage: ftp_consumer HOST USER PASS\n"), 2;
  const auto dir = std::filesystem::temp_directory_path() / ("ftp-consumer-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string up = (dir / "up").string(), down = (dir / "down").string();
  std::string bytes(100000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  std::ofstream(up, std::ios::binary) << bytes;

  CUT_FTPClient ftp;
  int failures = 0;
  auto check = [&](const char* step, bool ok) {
    if (!ok) std::fprintf(stderr, "ftp_consumer: %s failed (last reply: %s)\n", step, ftp.GetLastResponse());
    failures += ok ? 0 : 1;
  };
  check("Connect", ftp.Connect(argv[1], argv[2], argv[3], "") == 0);
  if (failures) return 1;
  check("SetTransferType", ftp.SetTransferType(1) == 0);
  for (int passive : {0, 1}) {
    ftp.SetFireWallMode(passive);
    const std::string remote = passive ? "consumer-passive.bin" : "consumer-active.bin";
    check("SendFile", ftp.SendFile(up.c_str(), remote.c_str()) == 0);
    check("GetDirInfo", ftp.GetDirInfo() == 0);
    bool listed = false;
    CUT_DIRINFOTag entry;
    for (int i = 0; ftp.GetDirEntry(i, &entry) == 0; ++i)
      listed |= remote == entry.fileName && entry.fileSize == static_cast<long>(bytes.size());
    check("the listing", listed);
    check("ReceiveFile", ftp.ReceiveFile(remote.c_str(), down.c_str()) == 0);
    check("the bytes", (std::ostringstream() << std::ifstream(down, std::ios::binary).rdbuf()).str() == bytes);
    check("DeleteFileA", ftp.DeleteFileA(remote.c_str()) == 0);
  }
  ftp.Close();
  std::filesystem::remove_all(dir);
  if (failures == 0) std::printf("ftp_consumer: listed, uploaded and downloaded in both modes, bytes identical\n");
  return failures == 0 ? 0 : 1;
}
