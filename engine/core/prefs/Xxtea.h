#pragma once
// XXTEA (the corrected Block TEA of Wheeler and Needham) over an array of 32-bit words.

#include <cstddef>
#include <cstdint>

namespace QuillEngine {

// Enciphers or deciphers `count` words in place under a 128-bit key (four words). Fewer than two
// words are left as they are, as the reference algorithm does.
void XxteaEncipher(uint32_t* words, size_t count, const uint32_t key[4]);
void XxteaDecipher(uint32_t* words, size_t count, const uint32_t key[4]);

} // namespace QuillEngine
