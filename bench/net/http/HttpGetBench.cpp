// CUT_HTTPClient::GET to a file beside curl -o fetching the same file from
// the same nginx on loopback, in the same run: 20 MB and 200 MB files. The
// "ratio" counter is curl's time over ours (at least 0.9 is the target);
// "maxrss_MiB" is this process's peak resident size after the benchmark, so
// the 200 MB run showing the figure of the 20 MB one means memory stays flat.
#include "SideBySide.h"

#include <zerth/CUT_HTTPClient.h>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

const std::string kDir = ZERTH_HTTP_BENCH_DIR;
std::map<std::string, std::string> g_env;

bool Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 && waitpid(pid, &status, 0) == pid &&
         WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartServers() {
  if (!Run({"sh", "-c", std::string(ZERTH_HTTP_SERVERS_SH " start ") + kDir + " > /dev/null"})) return false;
  std::ifstream in(kDir + "/server.env");
  for (std::string line; std::getline(in, line);)
    if (const auto equals = line.find('='); equals != std::string::npos)
      g_env[line.substr(0, equals)] = line.substr(equals + 1);
  return !g_env.empty();
}

// A file of size MB pseudo-random bytes in the web root, made once.
std::string ServedFile(std::int64_t megabytes) {
  const std::string name = "big" + std::to_string(megabytes) + ".bin";
  const std::string path = g_env["HTTP_ROOT"] + "/" + name;
  if (!std::filesystem::exists(path)) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    for (std::int64_t i = 0; i < megabytes; ++i) {
      for (auto& word : block) word = random();
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
    std::filesystem::permissions(path, std::filesystem::perms::others_read, std::filesystem::perm_options::add);
  }
  return name;
}

void BM_GetToFileBesideCurl(benchmark::State& state) {
  const std::int64_t megabytes = state.range(0);
  const std::string name = ServedFile(megabytes);
  // The client takes the port from SetPort, curl from the URL.
  const std::string url = "http://127.0.0.1/" + name;
  const std::string curlUrl = "http://127.0.0.1:" + g_env["HTTP_PORT"] + "/" + name;
  const std::string ours = kDir + "/ours.bin", theirs = kDir + "/curl.bin";
  CUT_HTTPClient client;
  client.SetPort(std::stoi(g_env["HTTP_PORT"]));
  bool ok = true;
  bench::SideBySide(
      state, megabytes << 20, [&] { ok = ok && client.GET(url.c_str(), ours.c_str()) == 0; },
      [&] { ok = ok && Run({"curl", "-s", "-o", theirs, curlUrl}); });
  if (!ok || std::filesystem::file_size(ours) != std::filesystem::file_size(theirs))
    state.SkipWithError("a download failed or the two files differ in size");
  state.counters["curl_MiB/s"] = state.counters["openssl_MiB/s"];
  state.counters.erase("openssl_MiB/s");
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["maxrss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  std::filesystem::remove(ours);
  std::filesystem::remove(theirs);
}
BENCHMARK(BM_GetToFileBesideCurl)->Arg(20)->Arg(200)->Iterations(6)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!StartServers()) {
    std::fprintf(stderr, "http_bench: nginx did not start (see %s)\n", kDir.c_str());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Run({ZERTH_HTTP_SERVERS_SH, "stop", kDir});
  return 0;
}
