// Pieces of the file-name conversion that tests reach directly: the last
// resort of the conversion can never be hit through the public function with
// the real encoding list, because single-byte encodings accept any byte string.
#ifndef VORN_FILENAMES_PRIVATE_H
#define VORN_FILENAMES_PRIVATE_H

#include <span>
#include <string>
#include <string_view>

namespace vorn::filenames {

// The encodings tried after the locale's, in order.
std::span<const char *const> fallbackCharsets() noexcept;

// Copies the valid UTF-8 stretches of `bytes` and puts "?" in place of every
// byte that does not belong to a valid character.
std::string replaceInvalidUtf8(std::string_view bytes);

}  // namespace vorn::filenames

#endif
