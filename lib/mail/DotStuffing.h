// DotStuffing: the transparency rule of SMTP's DATA (internal to the
// library). The server removes the first "." of every line that begins with
// one, so the client doubles it; and since only CR LF ends a line there, a
// lone CR or LF is sent as CR LF, so no line can end the data early.
#pragma once

#include <string>
#include <string_view>

namespace zerth::detail {

// text with every lone CR or LF made CR LF and a "." put in front of every
// line (the first one included) that begins with ".".
std::string DotStuff(std::string_view text);

}  // namespace zerth::detail
