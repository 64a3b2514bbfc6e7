#pragma once
// "System.prefs" (the `Settings` document: Version 2, Fullscreen, AudioEnabled, SoftwareDevice,
// AutoDetectSoftware) and "Window.prefs" (the window's last position), both kept in the Local
// Data folder of the user-data store.

#include <functional>
#include <memory>

#include "engine/core/GameSettings.h"

namespace QuillEngine {

class UserDataFolders;
class XmlNode;

constexpr const char16_t* kSystemPrefsName = u"System.prefs";
constexpr const char16_t* kWindowPrefsName = u"Window.prefs";
constexpr const char16_t* kDefaultPrefsName = u"DefaultSystemPreferences.xml";
constexpr int kPrefsVersion = 2;

// Reads a `Settings` document. False (and `prefs` unchanged) when Version is not 2 or Fullscreen,
// AudioEnabled or SoftwareDevice is missing or empty; AutoDetectSoftware is optional (0).
bool ParsePrefs(SystemPrefs& prefs, const XmlNode* document);
// A `Settings` document with the five children in order.
std::unique_ptr<XmlNode> BuildPrefs(const SystemPrefs& prefs);

enum class PrefsSource {
    UserFile,     // "System.prefs" was read
    UserFileBad,  // "System.prefs" was rejected and deleted; defaults 0, 1, 0, 0
    DefaultsFile, // "DefaultSystemPreferences.xml" was read (or rejected: defaults 0, 1, 0, 0)
    None,         // neither exists; `prefs` is unchanged
};

// Start-up: "System.prefs" from the store, else the defaults document (asked for only then; it
// stays owned by whoever returns it, such as the XML cache).
PrefsSource LoadSystemPrefs(UserDataFolders& store, const std::function<const XmlNode*()>& defaultDocument,
                            SystemPrefs& prefs);
// Exit: writes "System.prefs".
bool SaveSystemPrefs(UserDataFolders& store, const SystemPrefs& prefs);

// "Window.prefs": a `Root` with `WindowX` and `WindowY` ("%d"). Loading gives false when the file
// is missing or unreadable; a missing element reads as 0.
bool SaveWindowPosition(UserDataFolders& store, int32_t x, int32_t y);
bool LoadWindowPosition(UserDataFolders& store, int32_t& x, int32_t& y);

} // namespace QuillEngine
