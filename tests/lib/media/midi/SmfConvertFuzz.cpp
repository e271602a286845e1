// Fuzz target of the SMF parser and the conversion into stream buffers: any
// image that parses is converted to its end (or its first bad event) into
// 1024-byte buffers. No read outside the image (the sanitizers watch), no
// endless conversion, every buffer whole 12-byte events, no long-data block
// left behind.
#include <zerth/CMIDI.h>

#include "SmfImage.h"

#include <cstdlib>
#include <span>

static void Check(bool condition) {
  if (!condition) std::abort();
}

class Converter : public CMIDI {
public:
  void Run(std::span<const BYTE> image) {
    zerth::detail::SmfHeader header;
    if (!zerth::detail::ParseSmfImage(image, header, m_Tracks)) return;
    Check(header.trackCount == m_Tracks.size() && m_Tracks.size() <= (image.size() - 14) / 8);
    for (const TRACK& track : m_Tracks) Check(track.data + track.length <= image.data() + image.size());
    m_dwTimeDivision = header.division;
    m_dwCurrentTempo = m_tkBufferSpan = 0;
    SetTempo(image.size() % 3 ? 100 : 0);
    BYTE block[kBufferSize];
    CONVERTINFO buffer{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(block);
    buffer.header.dwBufferLength = buffer.maxLength = kBufferSize;
    int result = ConvertToBuffer(kConvertReset, &buffer);
    // Every buffer but the last takes at least one event, so at least one byte.
    for (std::size_t round = 0; result == kConvertOk; ++round) {
      Check(round <= image.size() && buffer.bytesUsed <= kBufferSize && buffer.bytesUsed % kStreamEventSize == 0);
      buffer.timeIsUp = 0;
      result = ConvertToBuffer(0, &buffer);
    }
    Check(result == kConvertEndOfSong || result == kConvertReadFailed);
    // Only an event waiting for the next buffer holds a block (freed by the
    // reset of the next run).
    Check(m_nLongDataBlocks == (m_teTemp.longData ? 1 : 0));
  }
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Converter converter;
  converter.Run({data, size});
  return 0;
}
