#pragma once
// How many entries of the feedback-client table a load bound to library exports: the entries
// that differ from a copy of the table taken while it held its defaults.

#include "engine/core/FeedbackClient.h"

#include <cstddef>
#include <cstring>

namespace QuillTest {

inline int BoundFeedbackEntries(const QuillEngine::FeedbackTable& defaults)
{
    using AnyEntry = void (*)();
    static_assert(sizeof(QuillEngine::FeedbackTable) % sizeof(AnyEntry) == 0, "the table holds entries only");
    constexpr size_t kEntries = sizeof(QuillEngine::FeedbackTable) / sizeof(AnyEntry);
    const auto* now = reinterpret_cast<const unsigned char*>(&QuillEngine::FeedbackClient::Entries());
    const auto* base = reinterpret_cast<const unsigned char*>(&defaults);
    int bound = 0;
    for (size_t i = 0; i < kEntries; ++i)
        bound += std::memcmp(now + i * sizeof(AnyEntry), base + i * sizeof(AnyEntry), sizeof(AnyEntry)) != 0;
    return bound;
}

} // namespace QuillTest
