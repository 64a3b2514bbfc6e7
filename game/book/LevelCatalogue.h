#pragma once
// The level catalogue ("Levels\levels.xml"): every LEVEL registers a level template, every PHOTO
// under it a photo of that level's spread (a scene photo also registers a scene template).

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {
class XmlNode;
}
class ProfileMgr;

// One photo of the book, in file order. A scene photo becomes a board and a picture on its page;
// a mini-game photo only a picture.
struct CataloguePhoto {
    QuillEngine::String symbol;  // the picture's movie on its page
    QuillEngine::String package; // mounted when the photo is entered
    int32_t number = 0;          // scene number ("Board%d")
    int32_t level = 0;           // the level (spread) it sits on
    bool miniGame = false;
    bool cardGame = false; // mini-game photos only: the card game, else the story game
    QuillEngine::String scene;
    QuillEngine::String sound;
};

class LevelCatalogue {
public:
    static constexpr const char16_t* kFileName = u"Levels\\levels.xml";

    // Reads `root`'s LEVEL children into `profiles` and appends the photos to `photos`. False on a
    // missing required attribute, or a number or item target that is negative or not wholly a
    // number; what was read before the fault stays registered, and `fault` (when given) says which
    // element and value stopped the reading.
    static bool Load(const QuillEngine::XmlNode& root, ProfileMgr& profiles, std::vector<CataloguePhoto>& photos,
                     std::string* fault = nullptr);
    // The same from the document cache; false when the catalogue is absent.
    static bool LoadFile(ProfileMgr& profiles, std::vector<CataloguePhoto>& photos, std::string* fault = nullptr);
};
