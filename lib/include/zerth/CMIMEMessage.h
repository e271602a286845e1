// CMIMEMessage: a CMailMessage formatted as a "multipart/mixed" MIME message.
// It owns its list of parts (text, or a file to attach); formatting turns the
// body and the parts into one MIME body with a fixed boundary. Each part is
// rendered by the first content agent of the process-wide registry that
// handles its content-type code; the registry owns the agents until the
// library is unloaded.
#pragma once

#include <zerth/CMIMEContentAgent.h>
#include <zerth/CMailMessage.h>
#include <zerth/Export.h>

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ZERTH_API CMIMEMessage : public CMailMessage {
public:
  // Registers a CTextPlain at the current line width (76) and a
  // CAppOctetStream, on every construction. Lookups take the first match, so
  // the agents of the first message of the process serve all messages, and
  // text parts always wrap at 76 whatever SetCharsPerLine is given later.
  CMIMEMessage();
  ~CMIMEMessage() override;

  // Adds a part. szContent is the text of a MIME_TEXT_PLAIN part or the path
  // of a MIME_APP_OCTET_STREAM part; leading and trailing white space is
  // removed from it (null counts as empty). szParameters is appended verbatim
  // to a text part's Content-Type value and brings its own separator
  // ("; charset=us-ascii"). Text parts go to the front of the list, every
  // other part to the end. Returns non-zero always.
  int AddMIMEPart(const char* szContent, int nContentType, const char* szParameters = "", int nEncoding = 0,
                  int bPath = 0);

  // One part as added.
  struct CMIMEPartEntry {
    int m_nEncoding = 0;
    int m_nContentType = MIME_TEXT_PLAIN;
    std::string m_sParameters;
    int m_bPath = 0;
    std::string m_sContent;
  };

  // The process-wide registry of content agents: owns them, guards them
  // with its lock, and destroys them when the library is unloaded.
  class CMIMETypeManager {
  public:
    // Takes ownership of agent and appends it; ignores null.
    void register_mime_type(std::unique_ptr<CMIMEContentAgent> agent);
    // The first registered agent that handles nContentType, or null. Agents
    // are never removed, so the pointer stays valid.
    CMIMEContentAgent* GetHandler(int nContentType);

  private:
    std::mutex m_lock;
    std::vector<std::unique_ptr<CMIMEContentAgent>> m_agents;
  };

protected:
  // The standard header lines, then "MIME-Version: 1.0" and the multipart
  // Content-Type with the boundary.
  void prepare_header() override;
  // Makes the body the first text part (when not empty), replaces it by the
  // preamble, the parts between boundary lines and the closing boundary.
  void prepare_body() override;
  // Appends each part, after a boundary line, through its agent; parts whose
  // code no agent handles are left out.
  virtual void append_mime_parts();

  // Takes ownership of agent and adds it to the registry; ignores null.
  void register_mime_type(CMIMEContentAgent* agent);
  // The boundary line (preceded by CR LF unless s already ends with one).
  void insert_boundary(std::string& s) const;
  // The closing boundary line, likewise.
  void insert_message_end(std::string& s) const;

  // The registry shared by all messages of the process: a function-local
  // static, so it exists from its first use and its agents are destroyed
  // when the library is unloaded.
  static CMIMETypeManager& m_MIMETypeManager();

  std::string m_sPreamble;
  std::string m_sBoundary;
  std::string m_sMultipartType;
  std::list<CMIMEPartEntry> m_MIMEParts;
};
