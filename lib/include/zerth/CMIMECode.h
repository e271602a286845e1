// CMIMECode: the interface every MIME content encoder offers (Base64 is the
// one the library ships). It owns nothing; an encoder keeps the working
// state of one call at a time.
#pragma once

#include <zerth/Export.h>

#include <string>

class ZERTH_API CMIMECode {
public:
  CMIMECode() = default;
  CMIMECode(const CMIMECode&) = default;
  CMIMECode& operator=(const CMIMECode&) = default;
  virtual ~CMIMECode();

  // Decodes the zero-terminated text into out and returns the number of bytes
  // written, or 0 on failure. See the encoder for the size out must have.
  virtual int Decode(const char* text, char* out) = 0;

  // Encodes length bytes from data; returns the encoded text.
  virtual std::string Encode(const char* data, int length) = 0;
};
