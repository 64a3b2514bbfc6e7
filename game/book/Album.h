#pragma once
// What the album's parts (its photos, its page-turn controls, the closing tableaux) ask of the
// album that holds them.

#include <cstdint>

#include "engine/graphics/scene/InstanceTree.h"

class Picture;

class IAlbum {
public:
    // Whether the album is browsed (no transition, page turn or tableaux under way).
    virtual bool IsBrowsing() const = 0;
    virtual bool IsTurning() const = 0;
    // Whether a page turn in `direction` (+1 forward, -1 back) may start.
    virtual bool CanTurn(int32_t direction) const = 0;
    virtual void OnPageTurnStart(int32_t direction) = 0;
    virtual void OnPageTurnEnd() = 0;
    virtual QuillEngine::InstanceHandle GetPageLayout() const = 0;
    // A click on an open scene photo, or on a mini-game photo (1 the card game, 0 the story).
    virtual void PlayTransition(Picture* picture) = 0;
    virtual void StartTransition(int32_t miniGameKind) = 0;
    // The tableaux shows the keepsakes of the finished levels under `movie`, and ends.
    virtual void ShowTableauxItems(const QuillEngine::InstanceHandle& movie, bool onlyIfSeen) = 0;
    virtual void FinishTableaux() = 0;

protected:
    ~IAlbum() = default;
};
