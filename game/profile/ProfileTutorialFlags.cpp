#include "game/profile/ProfileTutorialFlags.h"

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"

using namespace QuillEngine;

const char16_t* const TutorialFlags::kAttributeNames[kCount] = {
    u"m_GameBegun",      u"m_LevelBegun",  u"m_SceneBegun", u"m_ItemFound",
    u"m_TimeLost",       u"m_SceneEnded",  u"m_LevelEnded", u"m_ConcentrationBegun",
    u"m_StorygameBegun", u"m_CrisisLevel", u"m_HintPrompt", u"m_BluebirdPrompt",
};

bool TutorialFlags::Save(XmlNode* parent) const
{
    if (!parent)
        return false;
    XmlNode* node = parent->AddChild(u"tutorial");
    for (int i = 0; i < kCount; ++i)
        node->SetAttribute(kAttributeNames[i], m_flags[i] ? u"1" : u"0");
    return true;
}

bool TutorialFlags::Load(const XmlNode* element)
{
    if (!element)
        return false;
    for (int i = 0; i < kCount; ++i) {
        String value;
        if (!element->GetAttribute(kAttributeNames[i], value))
            return false;
        m_flags[i] = ParseInt32(value, 10) != 0;
    }
    return true;
}
