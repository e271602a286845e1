// Owning handle for a libcurl easy handle.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace mapi32 {

struct CurlEasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

// A new easy handle; null only when libcurl is out of memory.
inline CurlEasy MakeCurlEasy() { return CurlEasy(curl_easy_init()); }

}  // namespace mapi32
