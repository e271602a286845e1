// Compound files of 10 and 100 MB written and read through our layer beside
// libgsf's gsf tool doing the same in the same run: one big stream, and many
// streams of 4,000 bytes (all in the mini stream). "ratio" above 1 means ours
// is faster; "max_rss_MiB" is the process's peak so far (run one size alone,
// with --benchmark_filter, to read the peak of that size).
//   build/<bench>/bin/storage_bench --benchmark_counters_tabular=true
#include "SideBySide.h"

#include <zplatform/OleStreamFile.h>
#include <zplatform/Storage.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
constexpr DWORD kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr std::size_t kSmall = 4000;
constexpr std::size_t kChunk = 1 << 20;

// A folder of inputs for one size, made once: in/big, in/many/nNNNNN, and the
// files gsf and ours write.
struct Inputs {
  fs::path dir;
  std::size_t size;
  std::string data;  // 1 MiB repeated makes the big stream; the small ones are slices
  std::vector<std::string> smallNames;

  explicit Inputs(std::size_t total)
      : dir(fs::temp_directory_path() / ("zstg-bench-" + std::to_string(total))), size(total), data(kChunk, '\0') {
    fs::create_directories(dir / "in" / "many");
    std::uint32_t x = 1;
    for (char& c : data) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
    std::ofstream big(dir / "in" / "big", std::ios::binary);
    for (std::size_t at = 0; at < size; at += kChunk) big.write(data.data(), static_cast<std::streamsize>(kChunk));
    // The member names for gsf cat, through xargs: more than fit one command.
    std::ofstream members(dir / "members.txt");
    for (std::size_t i = 0; i < size / kSmall; ++i) {
      smallNames.push_back(std::to_string(100000 + i).insert(0, 1, 'n'));
      std::ofstream(dir / "in" / "many" / smallNames.back(), std::ios::binary).write(Small(i), kSmall);
      members << "many/" << smallNames.back() << '\n';
    }
  }
  const char* Small(std::size_t i) const { return data.data() + i * kSmall % (kChunk - kSmall); }
  ~Inputs() { fs::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }
};

Inputs& InputsFor(std::size_t size) {
  static std::map<std::size_t, std::unique_ptr<Inputs>> all;
  auto& inputs = all[size];
  if (!inputs) inputs = std::make_unique<Inputs>(size);
  return *inputs;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::abort();
}

IStorage* Create(const std::string& path) {
  IStorage* root = nullptr;
  if (FAILED(StgCreateDocfile(zplatform::Utf8ToUtf16(path).c_str(), kRW | STGM_CREATE, 0, &root))) std::abort();
  return root;
}

IStorage* OpenRead(const std::string& path) {
  IStorage* root = nullptr;
  if (FAILED(StgOpenStorage(zplatform::Utf8ToUtf16(path).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                            nullptr, 0, &root)))
    std::abort();
  return root;
}

void WriteBig(const Inputs& in, const std::string& path) {
  IStorage* root = Create(path);
  COleStreamFile file;
  if (!file.CreateStream(root, "big", kRW | STGM_CREATE)) std::abort();
  for (std::size_t at = 0; at < in.size; at += kChunk)
    if (!file.Write(in.data.data(), static_cast<UINT>(kChunk))) std::abort();
  file.Close();
  root->Release();
}

void WriteMany(const Inputs& in, const std::string& path) {
  IStorage* root = Create(path);
  IStorage* many = nullptr;
  if (FAILED(root->CreateStorage(u"many", kRW, 0, 0, &many))) std::abort();
  for (std::size_t i = 0; i < in.smallNames.size(); ++i) {
    COleStreamFile file;
    if (!file.CreateStream(many, in.smallNames[i], kRW | STGM_CREATE) || !file.Write(in.Small(i), kSmall))
      std::abort();
  }
  many->Release();
  root->Release();
}

void ReadBig(const std::string& path) {
  IStorage* root = OpenRead(path);
  COleStreamFile file;
  if (!file.OpenStream(root, "big", STGM_READ | STGM_SHARE_EXCLUSIVE)) std::abort();
  std::vector<char> buffer(kChunk);
  while (file.Read(buffer.data(), static_cast<UINT>(buffer.size())) > 0) benchmark::DoNotOptimize(buffer.data());
  file.Close();
  root->Release();
}

void ReadMany(const Inputs& in, const std::string& path) {
  IStorage* root = OpenRead(path);
  IStorage* many = nullptr;
  if (FAILED(root->OpenStorage(u"many", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &many))) std::abort();
  char buffer[kSmall];
  for (const std::string& name : in.smallNames) {
    COleStreamFile file;
    if (!file.OpenStream(many, name, STGM_READ | STGM_SHARE_EXCLUSIVE) || file.Read(buffer, kSmall) != kSmall)
      std::abort();
  }
  many->Release();
  root->Release();
}

void Report(benchmark::State& state) {
  state.counters["gsf_MiB/s"] = state.counters["openssl_MiB/s"];
  state.counters.erase("openssl_MiB/s");
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["max_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_WriteOneBigStream(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<std::size_t>(state.range(0)));
  const std::string gsf = "cd '" + in.dir.string() + "' && gsf createole gsf-big.ole in/big >/dev/null 2>&1";
  bench::SideBySide(state, state.range(0), [&] { WriteBig(in, in.Path("ours-big.stg")); }, [&] { Shell(gsf); });
  Report(state);
}

void BM_ReadOneBigStream(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<std::size_t>(state.range(0)));
  WriteBig(in, in.Path("ours-big.stg"));
  const std::string gsf = "gsf cat '" + in.Path("ours-big.stg") + "' big >/dev/null 2>&1";
  bench::SideBySide(state, state.range(0), [&] { ReadBig(in.Path("ours-big.stg")); }, [&] { Shell(gsf); });
  Report(state);
}

void BM_WriteManySmallStreams(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<std::size_t>(state.range(0)));
  const std::string gsf = "cd '" + in.dir.string() + "/in' && gsf createole ../gsf-many.ole many >/dev/null 2>&1";
  bench::SideBySide(state, state.range(0), [&] { WriteMany(in, in.Path("ours-many.stg")); }, [&] { Shell(gsf); });
  Report(state);
}

void BM_ReadManySmallStreams(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<std::size_t>(state.range(0)));
  WriteMany(in, in.Path("ours-many.stg"));
  const std::string gsf =
      "xargs -a '" + in.Path("members.txt") + "' gsf cat '" + in.Path("ours-many.stg") + "' >/dev/null 2>&1";
  bench::SideBySide(state, state.range(0), [&] { ReadMany(in, in.Path("ours-many.stg")); }, [&] { Shell(gsf); });
  Report(state);
}

constexpr std::int64_t k10MB = 10 << 20;
constexpr std::int64_t k100MB = 100 << 20;
BENCHMARK(BM_WriteOneBigStream)->Arg(k10MB)->Arg(k100MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_ReadOneBigStream)->Arg(k10MB)->Arg(k100MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_WriteManySmallStreams)->Arg(k10MB)->Arg(k100MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReadManySmallStreams)->Arg(k10MB)->Arg(k100MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
