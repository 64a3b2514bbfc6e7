#include "engine/core/files/FileStream.h"

#include <cstring>

#include <gtest/gtest.h>

#include "engine/core/files/FileManager.h"

using namespace QuillEngine;

namespace {

class OneFile : public FileManager::IFSSource {
  public:
    explicit OneFile(std::string bytes) : m_bytes(std::move(bytes)) {}
    bool Open() override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    bool ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override
    {
        if (name != u"f")
            return false;
        data = std::make_unique<uint8_t[]>(m_bytes.size() + 1);
        std::memcpy(data.get(), m_bytes.data(), m_bytes.size());
        size = m_bytes.size();
        return true;
    }
    bool Exists(const String& name) override { return name == u"f"; }
    String GetGroupName() const override { return u"System"; }

  private:
    std::string m_bytes;
};

struct StreamFixture {
    FileManager fm;
    FileStream* stream = nullptr;
    explicit StreamFixture(std::string bytes)
    {
        fm.AddSource(new OneFile(std::move(bytes)));
        stream = fm.OpenStream(u"f");
    }
    ~StreamFixture()
    {
        if (stream)
            stream->Release();
    }
};

} // namespace

TEST(FileStream, ReadsInPiecesUntilTheEnd)
{
    StreamFixture f("0123456789");
    ASSERT_NE(f.stream, nullptr);
    char buffer[8];
    uint32_t read = 99;
    EXPECT_EQ(f.stream->Read(buffer, 4, &read), StreamResult::Ok);
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(f.stream->Read(buffer, 4, nullptr), StreamResult::Ok);
    EXPECT_EQ(std::string(buffer, 4), "4567");
    EXPECT_EQ(f.stream->Read(buffer, 4, &read), StreamResult::Ok);
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(std::string(buffer, 2), "89");
    read = 99;
    EXPECT_EQ(f.stream->Read(buffer, 4, &read), StreamResult::False);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(f.stream->Position(), 10u);
}

TEST(FileStream, SeekStaysInsideTheData)
{
    StreamFixture f("0123456789");
    uint64_t pos = 77;
    EXPECT_EQ(f.stream->Seek(10, SeekOrigin::Begin, &pos), StreamResult::InvalidArg);
    EXPECT_EQ(pos, 77u);
    EXPECT_EQ(f.stream->Position(), 0u);
    EXPECT_EQ(f.stream->Seek(9, SeekOrigin::Begin, &pos), StreamResult::Ok);
    EXPECT_EQ(pos, 9u);
    EXPECT_EQ(f.stream->Seek(-3, SeekOrigin::Current, &pos), StreamResult::Ok);
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(f.stream->Seek(-7, SeekOrigin::Current, &pos), StreamResult::InvalidArg);
    EXPECT_EQ(f.stream->Position(), 6u);
    EXPECT_EQ(f.stream->Seek(0, SeekOrigin::End, &pos), StreamResult::InvalidArg);
    EXPECT_EQ(f.stream->Seek(-1, SeekOrigin::End, &pos), StreamResult::Ok);
    EXPECT_EQ(pos, 9u);
    // Only the low 32 bits of the offset count.
    EXPECT_EQ(f.stream->Seek((int64_t(1) << 32) + 3, SeekOrigin::Begin, nullptr), StreamResult::Ok);
    EXPECT_EQ(f.stream->Position(), 3u);
    EXPECT_EQ(f.stream->Seek(0, 3u, &pos), StreamResult::InvalidArg);
    EXPECT_EQ(f.stream->Position(), 3u);
    char c;
    EXPECT_EQ(f.stream->Read(&c, 1, nullptr), StreamResult::Ok);
    EXPECT_EQ(c, '3');
}

TEST(FileStream, StatAndUnsupportedOperations)
{
    StreamFixture f("0123456789");
    StreamStat stat;
    EXPECT_EQ(f.stream->Stat(&stat, StreamStatFlag::Default), StreamResult::InvalidArg);
    EXPECT_EQ(f.stream->Stat(nullptr, StreamStatFlag::NoName), StreamResult::InvalidArg);
    ASSERT_EQ(f.stream->Stat(&stat, StreamStatFlag::NoName), StreamResult::Ok);
    EXPECT_EQ(stat.type, StreamStat::StreamType);
    EXPECT_EQ(stat.size, 10u);
    EXPECT_EQ(f.stream->Write("x", 1, nullptr), StreamResult::NotImplemented);
    EXPECT_EQ(f.stream->SetSize(1), StreamResult::NotImplemented);
}

TEST(FileStream, EmptyFileAndMissingData)
{
    StreamFixture f("");
    ASSERT_NE(f.stream, nullptr);
    char c;
    EXPECT_EQ(f.stream->Read(&c, 1, nullptr), StreamResult::False);
    EXPECT_EQ(f.stream->Seek(0, SeekOrigin::Begin, nullptr), StreamResult::InvalidArg);
    EXPECT_EQ(f.fm.OpenStream(u"other"), nullptr);

    auto* orphan = new FileStream(FileHandle());
    EXPECT_EQ(orphan->Read(&c, 1, nullptr), StreamResult::Unexpected);
    EXPECT_EQ(orphan->Seek(0, SeekOrigin::Begin, nullptr), StreamResult::Unexpected);
    StreamStat stat;
    EXPECT_EQ(orphan->Stat(&stat, StreamStatFlag::NoName), StreamResult::Unexpected);
    orphan->Release();
}

TEST(FileStream, LastReleaseGivesTheFileBack)
{
    StreamFixture f("abc");
    FileStream* stream = f.stream;
    f.stream = nullptr;
    EXPECT_EQ(stream->AddRef(), 2u);
    EXPECT_EQ(f.fm.CachedFileCount(), 1u);
    EXPECT_EQ(stream->Release(), 1u);
    EXPECT_EQ(f.fm.CachedFileCount(), 1u);
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(f.fm.CachedFileCount(), 0u);
}
