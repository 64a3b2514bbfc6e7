// Dialect front end and run-time cost:
//  (1) front-end throughput on 1 MB of generated dialect source (MB/s);
//  (2) a compute-heavy script with no dialect feature, run through the front end vs given
//      straight to Lua 5.1 (time ratio);
//  (3) a loop using & and << vs the same loop in 5.1 calling plain C functions (time ratio).
#include "engine/script/dialect/DialectTranslator.h"
#include "engine/script/dialect/LuaDialect.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string GenerateSource(size_t bytes)
{
    std::string s;
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int n = 0; s.size() < bytes; ++n) {
        s += "-- block " + std::to_string(n) + " of generated dialect source\n";
        s += "local function f" + std::to_string(n) + "(a, b, ...)\n";
        s += "  local t = {&8 &4; 1, 2, 3, name = L\"wide \\65 text\", [\"k\"] = 0x" +
             std::to_string(next() % 9000 + 1000) + "}\n";
        s += "  for i = 1, table.getn(t) do\n";
        s += "    if i & 1 == 0 then continue end\n";
        s += "    for j = 1, 3 do if j == 2 then break 2 end a = a + (i << j) | b ^ 3 end\n";
        s += "  end\n";
        s += "  local s = \"narrow\" .. tostring(a) .. [[long\nstring]]\n";
        s += "  while a > 100 do a = a / 2 - 1 end\n";
        s += "  repeat b = b - 1 until b < " + std::to_string(next() % 100) + "\n";
        s += "  return a, b, s, arg.n\nend\n";
    }
    return s;
}

const char* kPlainScript = R"(
local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end
local sum = 0
for i = 1, 200000 do
  local t = {i, i * 2, x = i}
  sum = sum + t[1] + t[2] + math.mod(t.x, 7)
end
local s = 0
for k = 1, 30 do s = s + fib(18) end
local parts = {}
for i = 1, 20000 do parts[i] = tostring(i) end
result = sum + s + string.len(table.concat(parts, ","))
)";

const char* kBitDialect = R"(
local x = 0
for i = 1, 2000000 do
  x = ((x << 1) & 0xFFFF) | (i & 255)
end
result = x
)";

const char* kBitPlain = R"(
local band, bor, shl = c_and, c_or, c_shl
local x = 0
for i = 1, 2000000 do
  x = bor(band(shl(x, 1), 65535), band(i, 255))
end
result = x
)";

int CAnd(lua_State* L)
{
    lua_pushnumber(L, int32_t(lua_tonumber(L, 1)) & int32_t(lua_tonumber(L, 2)));
    return 1;
}
int COr(lua_State* L)
{
    lua_pushnumber(L, int32_t(lua_tonumber(L, 1)) | int32_t(lua_tonumber(L, 2)));
    return 1;
}
int CShl(lua_State* L)
{
    lua_pushnumber(L, int32_t(uint32_t(lua_tonumber(L, 1)) << (uint32_t(lua_tonumber(L, 2)) & 31)));
    return 1;
}

// Runs a chunk already loaded on top of the stack; returns milliseconds.
double RunTop(lua_State* L)
{
    auto t0 = Clock::now();
    if (lua_pcall(L, 0, 0, 0) != 0) {
        std::fprintf(stderr, "script failed: %s\n", lua_tostring(L, -1));
        lua_pop(L, 1);
        return -1;
    }
    return Ms(Clock::now() - t0);
}

double BestRun(const char* source, bool dialect, int rounds)
{
    lua_State* L = QuillLua::NewDialectState();
    QuillLua::OpenDialectLibs(L);
    lua_register(L, "c_and", CAnd);
    lua_register(L, "c_or", COr);
    lua_register(L, "c_shl", CShl);
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        int status = dialect ? QuillLua::LoadDialectBuffer(L, source, std::strlen(source), "=bench")
                             : luaL_loadbuffer(L, source, std::strlen(source), "=bench");
        if (status != 0) {
            std::fprintf(stderr, "load failed: %s\n", lua_tostring(L, -1));
            return -1;
        }
        best = std::min(best, RunTop(L));
        lua_gc(L, LUA_GCCOLLECT, 0);
    }
    QuillLua::CloseDialectState(L);
    return best;
}

} // namespace

int main()
{
    std::string source = GenerateSource(1 << 20);
    std::u16string units(source.begin(), source.end());
    double bestFront = 1e30;
    size_t outSize = 0;
    for (int r = 0; r < 10; ++r) {
        auto t0 = Clock::now();
        QuillLua::DialectResult res = QuillLua::TranslateDialect(units, QuillLua::SourceEncoding::Bytes, "=bench");
        double ms = Ms(Clock::now() - t0);
        if (!res.ok) {
            std::fprintf(stderr, "generated source failed: %s\n", res.error.c_str());
            return 1;
        }
        outSize = res.code.size();
        bestFront = std::min(bestFront, ms);
    }
    double mbPerS = (double(source.size()) / (1024.0 * 1024.0)) / (bestFront / 1000.0);
    std::printf("front end: %zu bytes in %.2f ms (best of 10) -> %.1f MB/s, output %zu bytes\n", source.size(),
                bestFront, mbPerS, outSize);

    // interleave the two variants so drift in machine speed hits both
    double plainDialect = 1e30, plainLua = 1e30, bitDialect = 1e30, bitLua = 1e30;
    for (int round = 0; round < 3; ++round) {
        plainDialect = std::min(plainDialect, BestRun(kPlainScript, true, 3));
        plainLua = std::min(plainLua, BestRun(kPlainScript, false, 3));
        bitDialect = std::min(bitDialect, BestRun(kBitDialect, true, 3));
        bitLua = std::min(bitLua, BestRun(kBitPlain, false, 3));
    }
    double plainRatio = plainDialect / plainLua;
    double bitRatio = bitDialect / bitLua;
    std::printf("plain script: dialect %.2f ms, Lua 5.1 %.2f ms -> ratio %.3f\n", plainDialect, plainLua, plainRatio);
    std::printf("bit loop: dialect & << %.2f ms, 5.1 with C functions %.2f ms -> ratio %.3f\n", bitDialect, bitLua,
                bitRatio);
    std::printf("RESULT dialect mb_per_s=%.1f plain_ratio=%.3f bit_ratio=%.3f front_ms=%.2f plain_ms=%.2f "
                "plain_lua_ms=%.2f bit_ms=%.2f bit_lua_ms=%.2f\n",
                mbPerS, plainRatio, bitRatio, bestFront, plainDialect, plainLua, bitDialect, bitLua);
    return 0;
}
