// CMailMessage: an Internet mail message (sender, ordered recipients, subject,
// body) and the formatting of its header block and body, ready for the SMTP
// client to send as they stand. CMailRecipient: one recipient's address and
// display name. Text is 8-bit (std::string); every line built ends in CR LF.
//
// Formatting is a chain of protected virtual steps, called by FormatMessageA
// in the order start_header, prepare_header, end_header, prepare_body, so a
// derived message (the MIME message) extends the header and body by
// overriding prepare_header/prepare_body and calling the base steps.
#pragma once

#include <zerth/Export.h>

#include <ctime>
#include <string>
#include <vector>

class ZERTH_API CMailRecipient {
public:
  std::string m_sAddress;  // the e-mail address
  std::string m_sName;     // the display name, possibly empty
};

class ZERTH_API CMailMessage {
public:
  // Empty texts, no recipients, m_sMailer "Zerth Mailer", 76 characters per line.
  CMailMessage();
  virtual ~CMailMessage();

  // Appends one recipient with both texts as given (a null pointer counts as
  // the empty text). Returns non-zero always.
  int AddRecipient(const char* address, const char* name);
  // Parses a ';'-separated list of entries "address" or "name<address>" and
  // appends each, in order, untrimmed; empty entries add empty recipients.
  // Returns zero when an entry has a '<' without a following '>': that entry
  // and all later ones are not added (earlier ones stay). Non-zero otherwise.
  int AddMultipleRecipients(const char* list);
  // Copies recipient number index (0-based) into address and name and returns
  // non-zero; returns zero and leaves both untouched when index is out of range.
  int GetRecipient(std::string& address, std::string& name, int index) const;
  int GetNumRecipients() const;

  // The line width for derived messages that wrap text; plain messages never
  // wrap their body.
  void SetCharsPerLine(unsigned chars);
  unsigned GetCharsPerLine() const;

  // Builds m_sHeader from scratch (From, To, Date, Subject, X-Mailer, empty
  // line) and makes m_sBody end with CR LF, through the virtual steps below.
  // Line breaks in the texts written there become blanks. Takes m_tDate from
  // the clock.
  void FormatMessageA();

  std::string m_sFrom;     // sender, written after "From: " and used as the envelope sender
  std::string m_sSubject;  // subject line text
  std::string m_sMailer;   // written after "X-Mailer: "
  std::string m_sHeader;   // the header block built by FormatMessageA
  std::time_t m_tDate = 0; // when the header was last built (seconds since 1970, UTC)
  std::string m_sBody;     // message body; normalised by FormatMessageA

protected:
  // Adds the five standard header lines through add_header_line.
  virtual void prepare_header();
  // Makes sure m_sBody ends with CR LF.
  virtual void prepare_body();
  // Appends the empty line that separates header and body.
  virtual void end_header();
  // Empties m_sHeader.
  virtual void start_header();
  // Appends line and CR LF to m_sHeader (null counts as empty); a CR or LF
  // inside line is written as a blank, so it stays one header line.
  virtual void add_header_line(const char* line);

  unsigned m_nCharsPerLine = 76;
  std::vector<CMailRecipient> m_aRecipients;
};
