#include "engine/core/prefs/SystemPrefs.h"

#include <string>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/xml/XmlNode.h"

namespace QuillEngine {

namespace {

// The element's text when the element exists and its text is not empty.
const String* RequiredText(const XmlNode* parent, const char16_t* name)
{
    const XmlNode* node = parent->FindChild(name);
    if (!node || node->GetText().empty())
        return nullptr;
    return &node->GetText();
}

void AddValue(XmlNode& parent, const char16_t* name, int value)
{
    parent.AddChild(String(name))->SetText(Widen(std::to_string(value)));
}

} // namespace

bool ParsePrefs(SystemPrefs& prefs, const XmlNode* document)
{
    if (!document)
        return false;
    const String* version = RequiredText(document, u"Version");
    if (!version || ParseUInt32(*version, 0) != static_cast<uint32_t>(kPrefsVersion))
        return false;
    const String* fullscreen = RequiredText(document, u"Fullscreen");
    const String* audio = RequiredText(document, u"AudioEnabled");
    const String* software = RequiredText(document, u"SoftwareDevice");
    if (!fullscreen || !audio || !software)
        return false;
    const String* autoDetect = RequiredText(document, u"AutoDetectSoftware");

    prefs.Fullscreen = ParseInt32(*fullscreen, 0) != 0;
    prefs.AudioEnabled = ParseInt32(*audio, 0) != 0;
    prefs.SoftwareDevice = ParseInt32(*software, 0) != 0;
    prefs.AutoDetectSoftware = autoDetect && ParseInt32(*autoDetect, 0) != 0;
    return true;
}

std::unique_ptr<XmlNode> BuildPrefs(const SystemPrefs& prefs)
{
    auto root = std::make_unique<XmlNode>(String(u"Settings"));
    AddValue(*root, u"Version", kPrefsVersion);
    AddValue(*root, u"Fullscreen", prefs.Fullscreen ? 1 : 0);
    AddValue(*root, u"AudioEnabled", prefs.AudioEnabled ? 1 : 0);
    AddValue(*root, u"SoftwareDevice", prefs.SoftwareDevice ? 1 : 0);
    AddValue(*root, u"AutoDetectSoftware", prefs.AutoDetectSoftware ? 1 : 0);
    return root;
}

PrefsSource LoadSystemPrefs(UserDataFolders& store, const std::function<const XmlNode*()>& defaultDocument,
                            SystemPrefs& prefs)
{
    if (std::unique_ptr<XmlNode> document = store.LoadXml(kSystemPrefsName, true)) {
        if (ParsePrefs(prefs, document.get()))
            return PrefsSource::UserFile;
        store.DeleteFile(kSystemPrefsName, true);
        prefs = SystemPrefs{};
        return PrefsSource::UserFileBad;
    }
    const XmlNode* defaults = defaultDocument ? defaultDocument() : nullptr;
    if (!defaults)
        return PrefsSource::None;
    if (!ParsePrefs(prefs, defaults))
        prefs = SystemPrefs{};
    return PrefsSource::DefaultsFile;
}

bool SaveSystemPrefs(UserDataFolders& store, const SystemPrefs& prefs)
{
    const std::unique_ptr<XmlNode> document = BuildPrefs(prefs);
    return store.SaveXml(kSystemPrefsName, true, document.get());
}

bool SaveWindowPosition(UserDataFolders& store, int32_t x, int32_t y)
{
    XmlNode root(String(u"Root"));
    AddValue(root, u"WindowX", x);
    AddValue(root, u"WindowY", y);
    return store.SaveXml(kWindowPrefsName, true, &root);
}

bool LoadWindowPosition(UserDataFolders& store, int32_t& x, int32_t& y)
{
    const std::unique_ptr<XmlNode> document = store.LoadXml(kWindowPrefsName, true);
    if (!document)
        return false;
    const XmlNode* nx = document->FindChild(u"WindowX");
    const XmlNode* ny = document->FindChild(u"WindowY");
    x = nx ? ParseInt32(nx->GetText(), 10) : 0;
    y = ny ? ParseInt32(ny->GetText(), 10) : 0;
    return true;
}

} // namespace QuillEngine
