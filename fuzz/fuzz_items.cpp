// Feeds arbitrary bytes to the board's item file ("Levels\<scene>.xml") and to the level catalogue
// ("Levels\levels.xml") through their real loaders: a board loads its scene (a movie whose
// children the items may name) and binds what the file lists; the catalogue registers its levels
// and photos with a profile manager. Nothing may crash, read out of bounds or leak.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/board/Board.h"
#include "game/board/Item.h"
#include "game/book/LevelCatalogue.h"
#include "game/profile/ProfileMgr.h"
#include "tests/support/MemoryFileSource.h"

using namespace QuillEngine;

namespace {

// A scene whose children carry the names item files use.
const char* const kScene = R"(<Library>
  <Definition type="movie" name="Part" length="1" fps="60"/>
  <Definition type="movie" name="Fuzz" length="1" fps="60">
    <Instance type="library" definition="Part" instancename="a" depth="1" create="0" death="1" regx="0" regy="0"/>
    <Instance type="library" definition="Part" instancename="b" depth="2" create="0" death="1" regx="0" regy="0"/>
    <Instance type="library" definition="Part" instancename="Ring" depth="3" create="0" death="1" regx="0" regy="0"/>
    <Instance type="library" definition="Part" instancename="Bluebird1" depth="4" create="0" death="1" regx="0" regy="0"/>
  </Definition>
</Library>)";

struct World {
    World()
    {
        ui.CreateRoot();
        auto doc = XmlNode::ParseDocument(kScene, false);
        int32_t added = 0, existing = 0;
        if (!doc || !ui.GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing))
            std::abort();
        files.AddSource(std::make_unique<QuillTest::MemoryFileSource>(&served));
    }
    UserInterface ui;
    QuillTest::MemoryFileSource::Files served;
    FileManager files;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    world.served[u"Levels\\Fuzz.xml"] = bytes;
    XmlCache xml(&world.files);
    {
        Board board(nullptr, nullptr, 1, u"Fuzz", u"");
        board.SetActive(true, world.ui.GetRootHandle());
        for (const auto& item : board.Items())
            item->HitTest(10.0f, 10.0f);
        board.SetActive(false);
    }
    world.ui.Update();

    if (std::unique_ptr<XmlNode> root = XmlNode::ParseFileBytes(data, size, false)) {
        ProfileMgr profiles(nullptr);
        std::vector<CataloguePhoto> photos;
        LevelCatalogue::Load(*root, profiles, photos);
        for (const CataloguePhoto& photo : photos) {
            if (!photo.miniGame && photo.scene.empty())
                std::abort(); // a scene photo always names its scene
        }
    }
    return 0;
}
