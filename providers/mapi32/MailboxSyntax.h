// The one form of mailbox a recipient or sender text may take: an address
// alone, or a display name and the address in angle brackets, with nothing
// before or after and an address that SMTP servers take.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace mapi32 {

// SMTP's limits (RFC 5321 4.5.3.1, with the 256-octet path less its brackets).
inline constexpr std::size_t kMaxLocalPart = 64;
inline constexpr std::size_t kMaxAddress = 254;

// The address of text when the whole text is exactly one mailbox:
// "addr@example.org", "Name <addr@example.org>" or
// "\"Last, First\" <addr@example.org>"; names may be UTF-8. The address is a
// dot-atom, then "@", then a dot-atom or a domain literal, within the limits
// above. nullopt for anything else, such as a second "@", a second address
// after ";" or ",", or words after the address.
[[nodiscard]] std::optional<std::string_view> MailboxAddress(std::string_view text);

}  // namespace mapi32
