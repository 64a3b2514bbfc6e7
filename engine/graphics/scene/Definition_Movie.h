#pragma once
// A movie definition: a timeline with a length and frame rate, frame events, frame labels and
// instance tracks. Each track creates a child (an instance of another library definition, or a
// text) at its create frame, moves it by one key per frame and removes it at its death frame.

#include <cstdint>
#include <map>
#include <vector>

#include "engine/graphics/scene/Definition_Base.h"

namespace QuillEngine {

// The keyed values of one frame of a track.
struct TrackKey {
    float x = 0, y = 0;
    float scaleX = 1, scaleY = 1;
    float rotation = 0; // radians
    float opacity = 0;  // 0..1
};

struct FrameEvent {
    enum Type : int32_t { Stop = 0, GotoAndStop = 1, GotoAndPlay = 2 };
    int32_t type = Stop;
    uint32_t targetFrame = 0; // the two go-to types only
};

struct InstanceTrack {
    enum Kind : int32_t { Kind_Library = 0, Kind_Text = 1 };

    int32_t kind = Kind_Library;
    String content; // the definition name of a library track, the text of a text track
    String instanceName;
    uint32_t depth = 0;
    uint32_t createFrame = 0;
    uint32_t deathFrame = 0;
    float regX = 0, regY = 0;
    std::vector<TrackKey> keys; // one per `Frame` child, from the create frame on
    int32_t trackIndex = 0;
    // Text tracks only.
    uint32_t textSize = 0;
    uint32_t textColor = 0; // 0xRRGGBB
    uint8_t bold = 0;
    String face;
    int32_t alignFlags = 0;
    int32_t boxWidth = 0;
    int32_t boxHeight = 0;

    String userData;

    // Whether the track's child lives at `frame`: [create, death).
    bool LivesAt(uint32_t frame) const { return frame >= createFrame && frame < deathFrame; }
    // The key for `frame`. Before the create frame the first key is used, and past the last key the
    // last one (a track may live longer than it has keys). Null when the track has no key.
    const TrackKey* KeyAt(uint32_t frame) const;
};

class Definition_Movie : public Definition_Base {
public:
    // Text alignment flags of text tracks: wrapping plus the horizontal alignment.
    static constexpr int32_t kAlignLeft = 0x10;
    static constexpr int32_t kAlignCenter = 0x11;
    static constexpr int32_t kAlignRight = 0x12;
    // Frame rates above this are refused: a timeline steps fps / 60 frames per update.
    static constexpr uint32_t kMaxFps = 1000;

    explicit Definition_Movie(DefinitionLibrary* library) : Definition_Base(Type_Movie, library) {}

    Instance_Base* CreateInstance(UserInterface* userInterface, const String& instanceName) const override;
    bool Load(const XmlNode& element) override;

    // The child instance of one track (an instance of a library definition, or a text), owned by
    // the caller; null for an unknown track index, a library track whose definition is missing,
    // or a definition that would contain itself.
    Instance_Base* CreateTrackInstance(int32_t trackIndex, UserInterface* userInterface) const;
    // Sets an instance made from one of this movie's tracks to the track's key for `frame`.
    void ApplyTrackKey(uint32_t frame, Instance_Base* instance) const;

    uint32_t GetLength() const { return m_length; }
    uint32_t GetFps() const { return m_fps; }
    const std::vector<InstanceTrack>& GetTracks() const { return m_tracks; }
    // Null when the index is out of range.
    const InstanceTrack* GetTrack(int32_t trackIndex) const;
    const std::map<uint32_t, FrameEvent>& GetFrameEvents() const { return m_events; }
    const FrameEvent* FindFrameEvent(uint32_t frame) const;
    const std::map<uint32_t, String>& GetLabels() const { return m_labels; }
    const String* FindLabel(uint32_t frame) const;
    // The frame of the label named exactly `name`; the lowest frame when several carry it.
    bool FindLabelFrame(StringView name, uint32_t& frame) const;

    // The track's key for `frame` (see InstanceTrack::KeyAt); null for an unknown track.
    const TrackKey* GetTrackKey(int32_t trackIndex, uint32_t frame) const;
    // The definition a library track instantiates: the last definition of its name in the owning
    // library. Null for a text track, an unknown index or name, and for a name whose definition
    // contains itself through its tracks (its instance would never stop creating children).
    const Definition_Base* ResolveTrackDefinition(int32_t trackIndex) const;

private:
    bool LoadEvents(const XmlNode& element);
    bool LoadLabels(const XmlNode& element);
    bool LoadTracks(const XmlNode& element);

    std::vector<InstanceTrack> m_tracks;
    std::map<uint32_t, FrameEvent> m_events;
    uint32_t m_length = 0;
    uint32_t m_fps = 0;
    std::map<uint32_t, String> m_labels;
};

// The cleaning applied to the text of a text track: after one of ! , . : ; ? a run of two or more
// spaces followed by a letter, digit or space shrinks to one space (a run ending the text keeps at
// least two), then backslash escapes are replaced.
String CleanTrackText(StringView text);

} // namespace QuillEngine
