// Owning handle for a libcurl string list (curl_slist).
#pragma once

#include <curl/curl.h>

#include <new>
#include <string>

namespace mapi32 {

class CurlStringList {
public:
  CurlStringList() = default;
  ~CurlStringList() { curl_slist_free_all(m_list); }
  CurlStringList(const CurlStringList&) = delete;
  CurlStringList& operator=(const CurlStringList&) = delete;

  // Appends a copy of text; throws std::bad_alloc when libcurl cannot.
  void append(const std::string& text) {
    curl_slist* grown = curl_slist_append(m_list, text.c_str());
    if (!grown) throw std::bad_alloc();
    m_list = grown;
  }

  curl_slist* get() const { return m_list; }

private:
  curl_slist* m_list = nullptr;
};

}  // namespace mapi32
