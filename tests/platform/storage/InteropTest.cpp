// Compound files against libgsf's gsf tool and python3-olefile, both ways.
#include "StorageTestSupport.h"
#include "TestEnv.h"

#include <zplatform/Com.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

using namespace storagetest;
using zplatform::ComPtr;

namespace {

// Path (with '/' between storages) to size: every size boundary of both
// sector sizes, nested storages, an 8 MB stream whose FAT needs DIFAT
// sectors, and 1,000 streams in one storage.
std::map<std::string, std::size_t> SampleTree() {
  std::map<std::string, std::size_t> tree;
  for (std::size_t size : {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097})
    tree["s" + std::to_string(size)] = size;
  tree["A/B/deep"] = 100;
  tree["A/x4096"] = 4096;
  tree["big8m"] = 8u << 20;
  for (int i = 0; i < 1000; ++i) tree["many/n" + std::to_string(1000 + i)] = static_cast<std::size_t>(i * 37 % 5000);
  return tree;
}

// Writes the tree, opening each storage on the way once.
void WriteTree(IStorage* root, const std::map<std::string, std::size_t>& tree) {
  std::map<std::string, ComPtr<IStorage>> storages;
  for (const auto& [path, size] : tree) {
    IStorage* parent = root;
    std::string prefix;
    std::size_t slash;
    std::string rest = path;
    while ((slash = rest.find('/')) != std::string::npos) {
      prefix += rest.substr(0, slash) + "/";
      ComPtr<IStorage>& storage = storages[prefix];
      if (!storage) {
        ASSERT_EQ(parent->CreateStorage(W(rest.substr(0, slash)).c_str(), kRW, 0, 0, storage.Put()), S_OK);
      }
      parent = storage.Get();
      rest = rest.substr(slash + 1);
    }
    ASSERT_EQ(PutStream(parent, rest, Content(path, size)), S_OK) << path;
  }
}

std::string Expected(const std::map<std::string, std::size_t>& tree) {
  std::string lines;
  for (const auto& [path, size] : tree)
    lines += path + "\t" + std::to_string(size) + "\t" + std::to_string(Adler32(Content(path, size))) + "\n";
  return lines + "rb-ok\n";
}

std::string OleDump(const std::string& file) {
  return testenv::RunCommand("/usr/bin/python3 " TARVO_SOURCE_DIR "/tests/platform/storage/ole_dump.py '" + file +
                             "' 2>&1");
}

TEST(CompoundInterop, FilesWeWriteListAndReadInOlefileAndGsf) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/ours.stg";
  const auto tree = SampleTree();
  {
    ComPtr<IStorage> root;
    ASSERT_EQ(StgCreateDocfile(W(file).c_str(), kRW | STGM_CREATE, 0, root.Put()), S_OK);
    WriteTree(root.Get(), tree);
  }
  EXPECT_EQ(OleDump(file), Expected(tree));

  std::istringstream listing(testenv::RunCommand("gsf list '" + file + "'"));
  std::size_t streams = 0;
  for (std::string line; std::getline(listing, line);) streams += line.rfind("f ", 0) == 0;
  EXPECT_EQ(streams, tree.size());
  for (const std::string path : {"big8m", "A/x4096", "A/B/deep", "s4097", "many/n1999"})
    EXPECT_EQ(testenv::RunCommand("gsf cat '" + file + "' " + path), Content(path, tree.at(path))) << path;
}

TEST(CompoundInterop, FilesGsfCreatesOpenAndReadInOurs) {
  testenv::TempDir dir;
  const auto tree = SampleTree();
  std::string args;
  for (const auto& [path, size] : tree) {
    testenv::WriteFile(dir.path() / "in" / path, Content(path, size));
    const std::string top = path.substr(0, path.find('/'));
    if (args.find(" in/" + top + " ") == std::string::npos) args += " in/" + top + " ";
  }
  const std::string file = dir.str() + "/gsf.ole";
  testenv::RunCommand("cd '" + dir.str() + "' && gsf createole gsf.ole" + args + " >/dev/null 2>&1");
  // gsf leaves the directory unbalanced (all black, right-linked).
  ASSERT_NE(OleDump(file).find("rb-bad"), std::string::npos);

  ComPtr<IStorage> root;
  ASSERT_EQ(StgOpenStorage(W(file).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, root.Put()),
            S_OK);
  for (const auto& [path, size] : tree) {
    ComPtr<IStorage> parent;
    IStorage* at = root.Get();
    std::string rest = path;
    std::vector<ComPtr<IStorage>> opened;
    for (std::size_t slash; (slash = rest.find('/')) != std::string::npos; rest = rest.substr(slash + 1)) {
      opened.emplace_back();
      ASSERT_EQ(at->OpenStorage(W(rest.substr(0, slash)).c_str(), nullptr, kRead, nullptr, 0, opened.back().Put()),
                S_OK);
      at = opened.back().Get();
    }
    EXPECT_EQ(GetStream(at, rest), Content(path, size)) << path;
  }
}

}  // namespace
