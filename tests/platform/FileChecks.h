// What the platform tests check of files: the names in a folder, a mode, and
// a call that opens a FIFO (still waiting after 10 s fails the test, and a
// writer opened on the FIFO then lets it go).
#pragma once

#include <zplatform/UniqueFd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

inline std::set<std::string> NamesIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

inline mode_t ModeOf(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

template <class Call>
auto CallWithoutBlockingOn(const std::filesystem::path& fifo, Call call) {
  auto result = std::async(std::launch::async, std::move(call));
  if (result.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return result.get();
  ADD_FAILURE() << "still waiting on " << fifo << " after 10 s";
  const zplatform::UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  return result.get();
}
