// A program built against the installed library: digests the file named on
// the command line (the first line of output is its MD5, as md5sum prints
// it), stores an enciphered value in the user's registry hive and reads it
// back, and describes the machine.
#include <zerth/zerth.h>

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  try {
    std::printf("%s\n", CMD5::GetMD5(std::string(argv[1])).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }

  const std::string secret = "kept under wraps";
  CEncryptedRegistryKey key("consumer key");
  const char* read = nullptr;
  if (key.Create(CRegistryKey::Root::CurrentUser, "Software\\Zerth\\Consumer") == ERROR_SUCCESS &&
      key.EncryptAndWrite("Secret", secret))
    read = key.ReadAndDecrypt("Secret");
  if (read == nullptr || secret != read) {
    std::fprintf(stderr, "the enciphered value did not come back\n");
    return 1;
  }
  std::printf("registry value read back: %s\n", read);

  const CSystemInfo info;
  std::printf("system: %s (%s)\nmemory: %s\n%s", info.getDescription().c_str(), info.GetOSVersionString().c_str(),
              info.getTotalRam().c_str(), info.GetDriveInfoString().c_str());
  return 0;
}
