#include "game/profile/ProfileMgr.h"

#include "engine/core/files/MemoryStream.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace QuillEngine;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {
    {u"profile.unlockbook", 0},
    {u"profile.new", 1},
    {u"profile.switch", 1},
};

const XmlNode* FirstChildNamed(const XmlNode& parent, StringView name)
{
    for (const auto& child : parent.Children()) {
        if (child->GetName() == name)
            return child.get();
    }
    return nullptr;
}

} // namespace

ProfileMgr::ProfileMgr(Console* console)
{
    if (console)
        m_commands.Register(*console, *this, kCommands);
}

ProfileMgr::~ProfileMgr() = default;

bool ProfileMgr::Load()
{
    m_profiles.clear();
    m_current = nullptr;

    UserDataFolders* store = UserDataFolders::Instance();
    MemoryStream original;
    UserDataFolders::ReadReport read;
    if (store)
        read = store->ReadFileReport(kSaveFileName, false, original);
    if (read.outcome == UserDataFolders::ReadOutcome::Unreadable) {
        const std::string why = UserDataFolders::DescribeReadError(read.error);
        DisableSaving("Your saved game \"" + read.path + "\" could not be read (" + why + ").");
    }
    const bool fileExists = read.outcome == UserDataFolders::ReadOutcome::Read && original.Size() > 0;
    std::unique_ptr<XmlNode> document = fileExists ? store->DecodeXml(original.Data(), original.Size()) : nullptr;

    m_highScores.Load(document ? FirstChildNamed(*document, u"highscores") : nullptr);

    bool somethingLost = fileExists && !document;
    if (document) {
        std::vector<const XmlNode*> elements;
        for (const auto& child : document->Children()) {
            if (child->GetName() == u"profile")
                elements.push_back(child.get());
        }
        String version;
        const bool versionOk = document->GetAttribute(u"version", version) && ParseUInt32(version, 10) == kVersion;
        if (!elements.empty() && !versionOk)
            somethingLost = true;
        if (!elements.empty() && versionOk) {
            const String currentName = document->GetStringAttribute(u"currentprofile", String());
            for (const XmlNode* element : elements) {
                if (m_profiles.size() >= kMaxProfiles) {
                    somethingLost = true;
                    break;
                }
                auto profile = std::make_unique<Profile>(u"NewProfile");
                // A name already taken could never be switched to: the first profile keeps it.
                if (!profile->Load(element) || FindProfile(profile->name)) {
                    somethingLost = true;
                    continue;
                }
                if (!m_current && profile->name == currentName)
                    m_current = profile.get();
                m_profiles.push_back(std::move(profile));
            }
            if (!m_profiles.empty() && !m_current)
                m_current = m_profiles.front().get();
        }
    }
    if (somethingLost) {
        original.Seek(0, 0);
        String kept;
        if (!store->KeepCopy(kDamagedFileName, false, original, &kept))
            DisableSaving("Your saved game \"" + read.path + "\" could not be read in full, and a copy of it could " +
                          "not be put aside in \"" + store->SystemPath(kDamagedFileName, false) + "\".");
        else
            Tell("Your saved game \"" + read.path + "\" could not be read in full. The game goes on with what " +
                 "could be read; the file as it was is kept in \"" + store->SystemPath(kept, false) + "\".");
    }
    if (m_profiles.empty())
        AddDefaultProfile();
    for (const auto& profile : m_profiles)
        FillFromTemplates(*profile);
    // Only the current profile's volumes are heard.
    m_current->ApplyVolumes();
    return true;
}

void ProfileMgr::DisableSaving(const std::string& reason)
{
    if (m_savingDisabled)
        return;
    m_savingDisabled = true;
    Tell(reason + " The game will go on, but your progress will not be saved this time, so the file stays as it is.");
}

void ProfileMgr::Tell(const std::string& text) const
{
    if (m_notice)
        m_notice("Saved Game", text);
    else
        QuillPlatform::ShowMessageBox("Saved Game", text);
}

void ProfileMgr::AddDefaultProfile()
{
    String name = GetCurrentUserName();
    if (name.empty())
        name = u"Player";
    m_profiles.push_back(std::make_unique<Profile>(std::move(name)));
    m_current = m_profiles.back().get();
}

bool ProfileMgr::Save()
{
    if (m_saving) {
        m_savePending = true;
        return false;
    }
    m_saving = true;
    bool written = WriteFile();
    m_saving = false;
    // One more save for anything that asked while the first was being written.
    if (m_savePending && m_updateDepth == 0) {
        m_savePending = false;
        m_saving = true;
        written = WriteFile();
        m_saving = false;
        m_savePending = false;
    }
    return written;
}

bool ProfileMgr::WriteFile()
{
    UserDataFolders* store = UserDataFolders::Instance();
    if (!store)
        m_lastWriteFailure = "\"" + ToUtf8(kSaveFileName) + "\" (there is no folder for saved games)";
    if (!store || m_savingDisabled)
        return false;
    XmlNode root(u"root");
    root.SetAttribute(u"currentprofile", m_current ? m_current->name : String());
    root.SetAttribute(u"version", Format(u"%d", {kVersion}));
    m_highScores.Save(&root);
    if (m_book && m_current)
        m_book->StoreRunningGames(*m_current);
    for (const auto& profile : m_profiles)
        profile->Save(&root);
    errno = 0;
    if (store->SaveXml(kSaveFileName, false, &root))
        return true;
    const int error = errno;
    m_lastWriteFailure = "\"" + store->SystemPath(kSaveFileName, false) + "\" (" +
                         (error ? std::string(std::strerror(error)) : std::string("the file could not be written")) +
                         ")";
    // The first failure is told; the game goes on and keeps trying at each save. A change of player
    // that the failure refuses tells its own message instead.
    if (!m_writeFailureTold && !m_changingPlayer) {
        m_writeFailureTold = true;
        Tell("Your progress could not be saved in " + m_lastWriteFailure +
             ". The game goes on, but what you play now is lost when it ends unless a later save succeeds.");
    }
    return false;
}

void ProfileMgr::RequestSave()
{
    if (m_updateDepth > 0 || m_saving) {
        m_savePending = true;
        return;
    }
    Save();
}

void ProfileMgr::EndUpdate()
{
    if (m_updateDepth > 0)
        --m_updateDepth;
    if (m_updateDepth == 0 && m_savePending && !m_saving) {
        m_savePending = false;
        Save();
    }
}

Profile* ProfileMgr::FindProfile(StringView name) const
{
    for (const auto& profile : m_profiles) {
        if (profile->name == name)
            return profile.get();
    }
    return nullptr;
}

void ProfileMgr::FillFromTemplates(Profile& profile) const
{
    for (const auto& level : m_levelTemplates) {
        if (!profile.FindLevel(level->number))
            profile.AddLevelRecord(level->MakeFromTemplate());
    }
    for (const auto& scene : m_sceneTemplates) {
        if (!profile.FindScene(scene->number))
            profile.AddSceneRecord(scene->Clone());
    }
}

bool ProfileMgr::SaveBeforeChange(const std::string& refused)
{
    m_lastWriteFailure.clear();
    m_changingPlayer = true;
    const bool saved = Save() || m_savingDisabled;
    m_changingPlayer = false;
    if (saved)
        return true;
    // Told every time: a refusal without a word looks like a button that does nothing.
    m_writeFailureTold = true;
    const std::string why = m_lastWriteFailure.empty() ? std::string("a save is still being written")
                                                       : "your progress could not be saved in " + m_lastWriteFailure;
    Tell(refused + ": " + why + ", and the change would lose what was played. The game goes on with \"" +
         (m_current ? ToUtf8(m_current->name) : std::string()) + "\"; try again once the file can be written.");
    return false;
}

bool ProfileMgr::LeaveForChange(const std::string& refused)
{
    // Saved first, where the player is: a refusal then leaves them there. Leaving the running game
    // changes the profile again, so it is saved once more before the change.
    if (!SaveBeforeChange(refused))
        return false;
    if (!m_book)
        return true;
    m_book->LeaveRunningGame();
    return SaveBeforeChange(refused);
}

bool ProfileMgr::NewProfile(const String& name)
{
    if (name.empty() || FindProfile(name) || m_profiles.size() >= kMaxProfiles)
        return false;
    if (!LeaveForChange("The player \"" + ToUtf8(name) + "\" cannot be added now"))
        return false;
    if (m_book)
        m_book->ResetBoards();
    auto profile = std::make_unique<Profile>(name);
    FillFromTemplates(*profile);
    m_current = profile.get();
    m_profiles.push_back(std::move(profile));
    m_current->ApplyVolumes();
    if (m_book)
        m_book->OnProfileChanged(true);
    return true;
}

bool ProfileMgr::SwitchProfile(const String& name)
{
    Profile* profile = FindProfile(name);
    if (!profile)
        return false;
    // The player who is playing already: their scene or card game stays on the screen, and no
    // board is loaded afresh under it.
    if (profile == m_current)
        return true;
    if (!LeaveForChange("The game cannot change to the player \"" + ToUtf8(name) + "\" now"))
        return false;
    if (m_book)
        m_book->ResetBoards();
    m_current = profile;
    m_current->ApplyVolumes();
    if (m_book)
        m_book->OnProfileChanged(false);
    return true;
}

bool ProfileMgr::DeleteProfile(const String& name)
{
    for (auto it = m_profiles.begin(); it != m_profiles.end(); ++it) {
        if ((*it)->name != name)
            continue;
        if (it->get() == m_current)
            return false;
        m_profiles.erase(it);
        return true;
    }
    return false;
}

std::vector<Profile*> ProfileMgr::GetProfiles() const
{
    std::vector<Profile*> out;
    out.reserve(m_profiles.size());
    for (const auto& profile : m_profiles)
        out.push_back(profile.get());
    return out;
}

void ProfileMgr::AddSceneTemplate(int32_t number, int32_t level, const String& title, int32_t items, float difficulty)
{
    for (const auto& scene : m_sceneTemplates) {
        if (scene->number == number)
            return;
    }
    if (m_sceneTemplates.size() >= kMaxTemplates)
        return;
    const int32_t status = level == 1 ? SceneRecord::Open : SceneRecord::Locked;
    m_sceneTemplates.push_back(std::make_unique<SceneRecord>(status, number, level, title, items, difficulty));
    for (const auto& profile : m_profiles) {
        if (!profile->FindScene(number))
            profile->AddSceneRecord(m_sceneTemplates.back()->Clone());
    }
}

void ProfileMgr::AddLevelTemplate(const String& key, float time, float bonusTime, int32_t maxItems, int32_t number,
                                  bool crisis)
{
    if (FindLevelTemplate(number) || m_levelTemplates.size() >= kMaxTemplates)
        return;
    m_levelTemplates.push_back(std::make_unique<LevelRecord>(key, time, bonusTime, maxItems, number, crisis));
    for (const auto& profile : m_profiles) {
        if (!profile->FindLevel(number))
            profile->AddLevelRecord(m_levelTemplates.back()->MakeFromTemplate());
    }
}

LevelRecord* ProfileMgr::FindLevelTemplate(int32_t number) const
{
    for (const auto& level : m_levelTemplates) {
        if (level->number == number)
            return level.get();
    }
    return nullptr;
}

void ProfileMgr::FitToCatalogue()
{
    if (m_levelTemplates.empty())
        return;
    int32_t last = 0;
    for (const auto& level : m_levelTemplates)
        last = std::max(last, level->number);
    const uint32_t lastPage = 2 * static_cast<uint32_t>(last);
    for (const auto& profile : m_profiles)
        profile->page = std::min(profile->page, lastPage);
}

void ProfileMgr::OpenNextLevel()
{
    if (!m_current || !m_current->OpenNextLevel())
        return;
    RequestSave();
    if (m_book)
        m_book->UpdatePageControls();
}

void ProfileMgr::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.empty())
        return;
    const String& command = arguments[0];
    const String argument = arguments.size() > 1 ? arguments[1] : String();
    if (EqualsNoCase(command, u"profile.unlockbook")) {
        if (m_current) {
            m_current->UnlockBook();
            if (m_book)
                m_book->UpdatePageControls();
        }
    } else if (EqualsNoCase(command, u"profile.new")) {
        NewProfile(argument);
    } else if (EqualsNoCase(command, u"profile.switch")) {
        SwitchProfile(argument);
    }
}
