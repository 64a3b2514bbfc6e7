#include "engine/graphics/scene/Definition_Movie.h"

#include <algorithm>
#include <cmath>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/DefinitionParse.h"

namespace QuillEngine {

namespace {

constexpr float kFullTurn = 6.28318f;

bool IsCleanPunctuation(char16_t ch)
{
    return ch == u'!' || ch == u',' || ch == u'.' || ch == u':' || ch == u';' || ch == u'?';
}

// Letters and digits for the spacing rule: ASCII ones, Latin-1 letters, and everything above
// Latin-1 except the common punctuation and symbol blocks. No locale is consulted.
bool IsLetterOrDigit(char16_t ch)
{
    if ((ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z'))
        return true;
    if (ch < 0xC0)
        return ch == 0xAA || ch == 0xB5 || ch == 0xBA;
    if (ch <= 0xFF)
        return ch != 0xD7 && ch != 0xF7;
    if (ch >= 0x2000 && ch <= 0x2BFF) // punctuation, symbols, arrows, shapes
        return false;
    if (ch >= 0x3000 && ch <= 0x303F) // CJK punctuation
        return false;
    if (ch >= 0xD800 && ch <= 0xDFFF) // halves of a pair: letters outside the BMP are rare in texts
        return false;
    if (ch >= 0xFE30 && ch <= 0xFE6F) // compatibility and small forms
        return false;
    if ((ch >= 0xFF01 && ch <= 0xFF0F) || (ch >= 0xFF1A && ch <= 0xFF20) || ch == 0xFEFF || ch >= 0xFFF0)
        return false;
    return true;
}

bool NonEmptyAttribute(const XmlNode& element, StringView name, String& value)
{
    return element.GetAttribute(name, value) && !value.empty();
}

// The key of one `Frame` element of a track. A missing transform is the identity.
bool ReadKey(const XmlNode& frame, bool textTrack, TrackKey& key)
{
    String alpha;
    if (frame.GetAttribute(u"alpha", alpha))
        key.opacity = std::clamp(static_cast<float>(ToInt(alpha)) / 100.0f, 0.0f, 1.0f);
    else
        key.opacity = 0;

    float m[6] = {1, 0, 0, 1, 0, 0};
    String transform;
    if (frame.GetAttribute(u"transform", transform) && !DefinitionParse::ParseFloatList(transform, m, 6))
        return false;
    float a = m[0], b = m[1], c = m[2], d = m[3], tx = m[4], ty = m[5];
    // Authoring tools leave 0.99x on an axis that was meant to stay unscaled.
    if (a == 1.0f || d == 1.0f) {
        if (a != 1.0f && std::fabs(a - 1.0f) < 0.01f)
            a = 1.0f;
        if (d != 1.0f && std::fabs(d - 1.0f) < 0.01f)
            d = 1.0f;
    }
    if (textTrack) {
        tx -= 2;
        ty -= 2;
    }
    key.x = tx;
    key.y = ty;
    float scaleX = std::sqrt(a * a + c * c);
    key.scaleY = std::sqrt(b * b + d * d);
    const float det = a * d - b * c;
    const bool mirrored = det < 0;
    if (mirrored)
        scaleX = -scaleX;
    key.scaleX = scaleX;
    const float s = mirrored ? -c : c;
    if (scaleX == 0 || !std::isfinite(scaleX)) {
        key.rotation = 0;
    } else {
        const float turn = std::acos(std::clamp(a / scaleX, -1.0f, 1.0f));
        key.rotation = s >= 0 ? kFullTurn - turn : turn;
    }
    return true;
}

bool ReadTrack(const XmlNode& element, InstanceTrack& track)
{
    String type, depth, create, death, regX, regY;
    if (!element.GetAttribute(u"type", type) || !element.GetAttribute(u"instancename", track.instanceName) ||
        !element.GetAttribute(u"depth", depth) || !element.GetAttribute(u"create", create) ||
        !element.GetAttribute(u"death", death) || !element.GetAttribute(u"regx", regX) ||
        !element.GetAttribute(u"regy", regY))
        return false;
    if (EqualsNoCase(type, u"library"))
        track.kind = InstanceTrack::Kind_Library;
    else if (EqualsNoCase(type, u"text"))
        track.kind = InstanceTrack::Kind_Text;
    else
        return false;
    track.depth = ToUInt(depth);
    track.createFrame = ToUInt(create);
    track.deathFrame = ToUInt(death);
    track.regX = ToFloat(regX);
    track.regY = ToFloat(regY);
    if (!std::isfinite(track.regX) || !std::isfinite(track.regY))
        return false;
    element.GetAttribute(u"userdata", track.userData);

    if (track.kind == InstanceTrack::Kind_Library) {
        if (!element.GetAttribute(u"definition", track.content))
            return false;
    } else {
        String text, size, color, align, width, height;
        if (!element.GetAttribute(u"text", text) || !element.GetAttribute(u"face", track.face) ||
            !element.GetAttribute(u"size", size) || !element.GetAttribute(u"color", color) ||
            !element.GetAttribute(u"align", align) || !element.GetAttribute(u"width", width) ||
            !element.GetAttribute(u"height", height))
            return false;
        if (align == u"left")
            track.alignFlags = Definition_Movie::kAlignLeft;
        else if (align == u"center")
            track.alignFlags = Definition_Movie::kAlignCenter;
        else if (align == u"right")
            track.alignFlags = Definition_Movie::kAlignRight;
        else
            return false;
        String bold;
        track.bold = element.GetAttribute(u"bold", bold) && ToInt(bold) != 0 ? 1 : 0;
        track.textSize = ToUInt(size);
        track.textColor = ToUInt(color);
        track.boxWidth = DefinitionParse::OnePast(ToInt(width));
        track.boxHeight = DefinitionParse::OnePast(ToInt(height));
        track.content = CleanTrackText(text);
    }

    const bool textTrack = track.kind == InstanceTrack::Kind_Text;
    for (const auto& child : element.Children()) {
        if (child->GetName() != u"Frame")
            continue;
        TrackKey key;
        if (!ReadKey(*child, textTrack, key))
            return false;
        track.keys.push_back(key);
    }
    return true;
}

} // namespace

String CleanTrackText(StringView text)
{
    String out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const char16_t ch = text[i++];
        out.push_back(ch);
        if (!IsCleanPunctuation(ch))
            continue;
        size_t run = 0;
        while (i + run < n && text[i + run] == u' ')
            ++run;
        if (run < 2) {
            out.append(run, u' ');
        } else {
            // Removing one space at a time while the character three places on is a letter, digit
            // or space leaves one space before a letter or digit, and two otherwise.
            const bool beforeWord = i + run < n && IsLetterOrDigit(text[i + run]);
            out.append(beforeWord ? 1 : 2, u' ');
        }
        i += run;
    }
    return UnescapeString(out);
}

const TrackKey* InstanceTrack::KeyAt(uint32_t frame) const
{
    if (keys.empty())
        return nullptr;
    if (frame <= createFrame)
        return &keys.front();
    const uint64_t offset = uint64_t(frame) - createFrame;
    return offset < keys.size() ? &keys[offset] : &keys.back();
}

bool Definition_Movie::Load(const XmlNode& element)
{
    String length, fps;
    if (!element.GetAttribute(u"length", length) || !element.GetAttribute(u"fps", fps))
        return false;
    m_length = ToUInt(length);
    m_fps = ToUInt(fps);
    if (m_fps > kMaxFps)
        return false;
    return LoadEvents(element) && LoadLabels(element) && LoadTracks(element);
}

bool Definition_Movie::LoadEvents(const XmlNode& element)
{
    for (const auto& child : element.Children()) {
        if (child->GetName() != u"Event")
            continue;
        String frame, type;
        if (!NonEmptyAttribute(*child, u"frame", frame) || !NonEmptyAttribute(*child, u"type", type))
            return false;
        FrameEvent event;
        if (type == u"stop") {
            event.type = FrameEvent::Stop;
        } else if (type == u"gotoAndStop" || type == u"gotoAndPlay") {
            event.type = type == u"gotoAndStop" ? FrameEvent::GotoAndStop : FrameEvent::GotoAndPlay;
            String target;
            if (!NonEmptyAttribute(*child, u"targetframe", target))
                return false;
            event.targetFrame = ToUInt(target);
        } else {
            return false;
        }
        m_events[ToUInt(frame)] = event;
    }
    return true;
}

bool Definition_Movie::LoadLabels(const XmlNode& element)
{
    for (const auto& child : element.Children()) {
        if (child->GetName() != u"Label")
            continue;
        String name, frame;
        if (!NonEmptyAttribute(*child, u"name", name) || !NonEmptyAttribute(*child, u"frame", frame))
            return false;
        m_labels[ToUInt(frame)] = std::move(name);
    }
    return true;
}

bool Definition_Movie::LoadTracks(const XmlNode& element)
{
    for (const auto& child : element.Children()) {
        if (child->GetName() != u"Instance")
            continue;
        InstanceTrack track;
        track.trackIndex = static_cast<int32_t>(m_tracks.size());
        if (!ReadTrack(*child, track)) {
            m_tracks.clear();
            m_tracks.shrink_to_fit();
            return false;
        }
        m_tracks.push_back(std::move(track));
    }
    return true;
}

const InstanceTrack* Definition_Movie::GetTrack(int32_t trackIndex) const
{
    if (trackIndex < 0 || static_cast<size_t>(trackIndex) >= m_tracks.size())
        return nullptr;
    return &m_tracks[static_cast<size_t>(trackIndex)];
}

const FrameEvent* Definition_Movie::FindFrameEvent(uint32_t frame) const
{
    const auto it = m_events.find(frame);
    return it == m_events.end() ? nullptr : &it->second;
}

const String* Definition_Movie::FindLabel(uint32_t frame) const
{
    const auto it = m_labels.find(frame);
    return it == m_labels.end() ? nullptr : &it->second;
}

bool Definition_Movie::FindLabelFrame(StringView name, uint32_t& frame) const
{
    for (const auto& [labelFrame, label] : m_labels) {
        if (label == name) {
            frame = labelFrame;
            return true;
        }
    }
    return false;
}

const TrackKey* Definition_Movie::GetTrackKey(int32_t trackIndex, uint32_t frame) const
{
    const InstanceTrack* track = GetTrack(trackIndex);
    return track ? track->KeyAt(frame) : nullptr;
}

const Definition_Base* Definition_Movie::ResolveTrackDefinition(int32_t trackIndex) const
{
    const InstanceTrack* track = GetTrack(trackIndex);
    const DefinitionLibrary* library = GetLibrary();
    if (!track || track->kind != InstanceTrack::Kind_Library || !library)
        return nullptr;
    if (library->IsRecursive(track->content))
        return nullptr;
    return library->GetDefinition(track->content, -1);
}

} // namespace QuillEngine
