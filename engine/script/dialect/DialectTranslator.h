#pragma once
// Translates dialect source (Lua 5.0 plus wide literals, bit operators, hex numerals, continue,
// break N, table size hints) into Lua 5.1 source with every token on its original line, so that
// the errors Lua 5.1 reports carry the script's own line numbers.

#include "engine/script/dialect/DialectLexer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace QuillLua {

// Run-time helpers a translated chunk refers to. They are upvalues of the chunk's function,
// bound by name when the chunk is loaded (see DialectLoader).
enum DialectHelper : uint32_t {
    kHelperWide = 1u << 0,  // __q_w(bytes): interned wide string from UTF-16LE bytes
    kHelperAnd = 1u << 1,   // __q_and(a, b)
    kHelperOr = 1u << 2,    // __q_or(a, b)
    kHelperXor = 1u << 3,   // __q_xor(a, b): ^ (xor on numbers, else "__pow")
    kHelperShl = 1u << 4,   // __q_shl(a, b)
    kHelperShr = 1u << 5,   // __q_shr(a, b)
    kHelperForIn = 1u << 6, // __q_in(f, s, c): a table as the generator iterates with next
};
constexpr int kHelperCount = 7;
// Names of the helpers, indexed by bit number.
extern const char* const kHelperNames[kHelperCount];

struct DialectResult {
    bool ok = false;
    std::string code;     // Lua 5.1 source
    uint32_t helpers = 0; // DialectHelper bits the code uses
    std::string error;    // "chunk:line: message near `token'" when !ok
};

// `chunkName` is the Lua chunk name ("@file", "=name" or the source text itself).
DialectResult TranslateDialect(std::u16string_view source, SourceEncoding encoding, std::string_view chunkName);

// The short form of a chunk name used in messages ("file.lua", [string "..."]).
std::string ChunkId(std::string_view chunkName);

} // namespace QuillLua
