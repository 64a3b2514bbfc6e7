#include "engine/core/files/MemoryStream.h"

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/prefs/Xxtea.h"

using namespace QuillEngine;

namespace {

// Published XXTEA vectors (key words, plain words, cipher words), the words written as numbers.
struct WordVector {
    std::array<uint32_t, 4> key;
    std::vector<uint32_t> plain;
    std::vector<uint32_t> cipher;
};

const WordVector kWordVectors[] = {
    {{0, 0, 0, 0}, {0, 0}, {0x053704ab, 0x575d8c80}},
    {{0x01020408, 0x10204080, 0xfffefcf8, 0xf0e0c080}, {0, 0}, {0x8b86e326, 0x48a0669d}},
    {{0x9e3779b9, 0x9b9773e9, 0xb979379e, 0x6b695156}, {0xffffffff, 0xffffffff}, {0x6be3702a, 0x2d1f9499}},
    {{0x01020408, 0x10204080, 0xfffefcf8, 0xf0e0c080}, {0xfffefcf8, 0xf0e0c080}, {0x875a9ee9, 0xa1840eb3}},
    {{0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
     {0x157c13a8, 0x50ba5e57, 0x306d7791},
     {0x944b9541, 0xf00ef702, 0x5c5990da}},
    {{0xaaaaaaaa, 0xaaaaaaaa, 0xaaaaaaaa, 0xaaaaaaaa},
     {0x01020408, 0x10204080, 0xfffefcf8, 0xf0e0c080},
     {0xe3c9b52b, 0xab3438b1, 0xf9fc706a, 0xabb9b7e5}},
    {{0x01020408, 0x10204080, 0xfffefcf8, 0xf0e0c080},
     {0x157c13a8, 0x50ba5e57, 0x306d7791, 0x6fa2c37b, 0xe1949616},
     {0xc6574667, 0xe9950de0, 0xc3f44520, 0x666fc725, 0xcaaab1fe}},
    {{0x01020408, 0x10204080, 0xfffefcf8, 0xf0e0c080},
     {0xdb9af3c9, 0x6e36a30c, 0x643c6e97, 0xf4d75b7a, 0x4b51a40e, 0x9d8759e5, 0x81e3c40b, 0x341b4436},
     {0x2c34cc18, 0xfb1b22dd, 0xecdd57ac, 0xcf20173e, 0xb824217b, 0x74637d8e, 0xead7604a, 0x2e11b718}},
};

std::vector<uint8_t> Bytes(const MemoryStream& s)
{
    return std::vector<uint8_t>(s.Data(), s.Data() + s.Size());
}

std::vector<uint8_t> Hex(const std::string& hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

} // namespace

TEST(Xxtea, MatchesPublishedWordVectorsBothWays)
{
    for (const WordVector& v : kWordVectors) {
        std::vector<uint32_t> words = v.plain;
        XxteaEncipher(words.data(), words.size(), v.key.data());
        EXPECT_EQ(words, v.cipher);
        XxteaDecipher(words.data(), words.size(), v.key.data());
        EXPECT_EQ(words, v.plain);
    }
}

TEST(Xxtea, FewerThanTwoWordsAreLeftAlone)
{
    const uint32_t key[4] = {1, 2, 3, 4};
    uint32_t one = 0x12345678;
    XxteaEncipher(&one, 1, key);
    EXPECT_EQ(one, 0x12345678u);
    XxteaDecipher(&one, 1, key);
    EXPECT_EQ(one, 0x12345678u);
    XxteaEncipher(nullptr, 0, key);
}

TEST(MemoryStream, CipherReadsKeyAndContentAsLittleEndianWords)
{
    // The same published vectors in byte form: each word stored little-endian.
    struct ByteVector {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const ByteVector vectors[] = {
        {"00000000000000000000000000000000", "0000000000000000", "ab043705808c5d57"},
        {"0102040810204080fffefcf8f0e0c080", "0000000000000000", "d1e78be2c746728a"},
        {"6a6f686e636b656e64616c6c6a6f686e", "4100000000000000", "014e7a34874eeb29"},
        {"6a6f686e636b656e64616c6c6a6f686e", "4142434445464748", "cdeb72b9c903ce52"},
    };
    for (const ByteVector& v : vectors) {
        const auto key = Hex(v.key);
        const auto plain = Hex(v.plain);
        MemoryStream s(plain.data(), static_cast<uint32_t>(plain.size()));
        s.Encipher(key.data());
        EXPECT_EQ(Bytes(s), Hex(v.cipher)) << v.plain;
        s.Decipher(key.data());
        EXPECT_EQ(Bytes(s), plain);
    }
}

TEST(MemoryStream, CipherPadsToWholeWords)
{
    const uint8_t key[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    // Three bytes: padded to one word, which XXTEA leaves as it is.
    MemoryStream three;
    three.Write("abc", 3);
    three.Encipher(key);
    ASSERT_EQ(three.Size(), 4u);
    EXPECT_EQ(Bytes(three), (std::vector<uint8_t>{'a', 'b', 'c', 0}));
    three.Decipher(key);
    EXPECT_EQ(Bytes(three), (std::vector<uint8_t>{'a', 'b', 'c', 0}));

    // Any length of 8 or more comes back with its padding zeros after the content.
    for (uint32_t n : {8u, 9u, 10u, 11u, 12u, 37u, 1000u}) {
        std::vector<uint8_t> plain(n);
        for (uint32_t i = 0; i < n; ++i)
            plain[i] = static_cast<uint8_t>(i * 7 + 1);
        MemoryStream s(plain.data(), n);
        s.Encipher(key);
        EXPECT_EQ(s.Size() % 4, 0u);
        EXPECT_EQ(s.Position(), s.Size());
        EXPECT_NE(std::vector<uint8_t>(s.Data(), s.Data() + n), plain);
        s.Decipher(key);
        plain.resize((n + 3) / 4 * 4, 0);
        EXPECT_EQ(Bytes(s), plain) << n;
    }
}

TEST(MemoryStream, SeekClampsToContent)
{
    MemoryStream s;
    s.Write("abcd", 4);
    s.Seek(3, 0);
    s.Seek(-5, 1);
    EXPECT_EQ(s.Position(), 0u);
    s.Seek(10, 0);
    EXPECT_EQ(s.Position(), 4u);
    s.Seek(-1, 2);
    EXPECT_EQ(s.Position(), 3u);
    s.Seek(-9, 0);
    EXPECT_EQ(s.Position(), 0u);
    s.Seek(2, 7); // unknown origin
    EXPECT_EQ(s.Position(), 0u);
}

TEST(MemoryStream, WriteReadAppendAndReadInto)
{
    MemoryStream s;
    s.Write("hello", 5);
    s.Seek(1, 0);
    s.Write("EL", 2); // overwrite inside the content
    EXPECT_EQ(s.Size(), 5u);
    s.Seek(4, 0);
    s.Write("O world", 7); // past the end
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Data()), s.Size()), "hELlO world");

    s.Seek(0, 0);
    char buffer[4] = {};
    EXPECT_EQ(s.Read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "hELl");
    MemoryStream part = s.ReadInto(3);
    EXPECT_EQ(part.Size(), 3u);
    EXPECT_EQ(part.Position(), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(part.Data()), 3), "O w");
    EXPECT_EQ(s.Position(), 7u);
    MemoryStream rest = s.ReadInto(100);
    EXPECT_EQ(rest.Size(), 4u);
    EXPECT_EQ(s.Read(buffer, 4), 0u);

    MemoryStream target;
    target.Write(">", 1);
    part.Seek(1, 0);
    target.Append(part);
    EXPECT_EQ(part.Position(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(target.Data()), target.Size()), "> w");

    // A write whose source is the stream's own buffer survives the buffer growing.
    MemoryStream self;
    self.Write("xy", 2);
    for (int i = 0; i < 6; ++i)
        self.Write(self.Data(), self.Size());
    EXPECT_EQ(self.Size(), 128u);
    EXPECT_EQ(self.Data()[127], 'y');

    target.Clear();
    EXPECT_EQ(target.Size(), 0u);
    EXPECT_EQ(target.Capacity(), 0u);
    EXPECT_EQ(target.Data(), nullptr);
}

TEST(MemoryStream, ReserveIsExactAndKeepsContent)
{
    MemoryStream s;
    s.Write("ab", 2);
    s.Reserve(100);
    EXPECT_EQ(s.Capacity(), 100u);
    s.Reserve(10);
    EXPECT_EQ(s.Capacity(), 100u);
    EXPECT_EQ(s.Size(), 2u);
    EXPECT_EQ(s.Data()[1], 'b');
    MemoryStream moved = std::move(s);
    EXPECT_EQ(moved.Size(), 2u);
    EXPECT_EQ(s.Size(), 0u);
}
