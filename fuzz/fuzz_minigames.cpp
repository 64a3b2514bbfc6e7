// Feeds arbitrary bytes to the mini-games' readers: the card game's table ("concentration.xml") and
// a card game kept in the player file, the story ("Story\story.xml": segments, choices and the
// start node of each level) and a story kept in the player file. Each goes through the real
// loader; nothing may crash, read out of bounds or leak.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/xml/XmlNode.h"
#include "game/cards/ConBoard.h"
#include "game/story/StoryMiniGame.h"

using namespace QuillEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::unique_ptr<XmlNode> root = XmlNode::ParseFileBytes(data, size, false);
    if (!root)
        return 0;
    {
        ConBoard cards(nullptr);
        cards.LoadTable(*root);
        cards.RestoreState(*root);
    }
    {
        StoryMiniGame story(nullptr);
        story.LoadStory(*root);
        for (int32_t level : {-1, 0, 8, 14, 99})
            StoryMiniGame::StartSegmentFor(root.get(), level);
        story.RestoreState(root.get());
        for (const auto& [id, segment] : story.Segments()) {
            for (const String& next : segment->choices)
                story.FindSegment(next);
        }
    }
    return 0;
}
