// On the installed library: the MD5 of the file named (first line, as md5sum
// prints it), an enciphered registry value read back, the machine described.
#include <zerth/zerth.h>

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) try {
  if (argc != 2) return 2;
  std::printf("%s\n", CMD5::GetMD5(std::string(argv[1])).c_str());

  CEncryptedRegistryKey key("consumer key");
  const char* read = nullptr;
  if (key.Create(CRegistryKey::Root::CurrentUser, "Software\\Zerth\\Consumer") == ERROR_SUCCESS &&
      key.EncryptAndWrite("Secret", "kept under wraps"))
    read = key.ReadAndDecrypt("Secret");
  if (read == nullptr || std::string(read) != "kept under wraps") return 1;
  std::printf("registry value read back: %s\n", read);

  const CSystemInfo info;
  std::printf("system: %s (%s)\nmemory: %s\n%s", info.getDescription().c_str(), info.GetOSVersionString().c_str(),
              info.getTotalRam().c_str(), info.GetDriveInfoString().c_str());
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "%s\n", e.what());
  return 1;
}
