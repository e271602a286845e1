// Content types of attachments, guessed from the file name's extension.
#pragma once

#include <string_view>

namespace mapi32 {

// "type/subtype" for the extension of fileName (case does not matter);
// "application/octet-stream" when the extension is missing or unknown.
std::string_view ContentTypeForName(std::string_view fileName);

}  // namespace mapi32
