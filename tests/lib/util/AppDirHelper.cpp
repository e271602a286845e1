// Prints what CZerthUtility::GetAppDir() says in this program, then the
// executable's path as the platform layer sees it (empty when unknown). The
// tests copy this program into other folders and run it there.
#include <zerth/CZerthUtility.h>

#include <zplatform/ProgramDir.h>

#include <cstdio>
#include <string>

int main() {
  const std::string text = std::string(CZerthUtility::GetAppDir()) + "\n" + zplatform::ProgramPath() + "\n";
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
