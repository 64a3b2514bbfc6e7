#include "game/screens/menus/UIOptionsDialog.h"

#include "engine/app/ScriptBridge.h"
#include "engine/core/audio/Audio.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/script/LuaValueRef.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

namespace {

Profile* CurrentProfile()
{
    ProfileMgr* mgr = ProfileMgr::Instance();
    return mgr ? mgr->CurrentProfile() : nullptr;
}

bool IsFullscreen(const GameLinks& links)
{
    return links.isFullscreen && links.isFullscreen();
}

bool IsSoftware()
{
    const CRenderManager* renderer = CRenderManager::Instance();
    return renderer && renderer->IsSoftwareDevice();
}

} // namespace

UIOptionsDialog::UIOptionsDialog(IScreenHost& host, String name, bool modal) : UIScreen(host, std::move(name), modal)
{
    if (const Profile* profile = CurrentProfile()) {
        m_music = profile->musicVolume;
        m_effects = profile->effectsVolume;
        m_ambient = profile->ambientVolume;
    }
}

void UIOptionsDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (table.IsTable()) {
        const Profile* profile = CurrentProfile();
        table.SetBoolean("FullScreen", IsFullscreen(Links()));
        table.SetBoolean("Software", IsSoftware());
        table.SetBoolean("Relaxed", profile && profile->relaxed);
        table.SetNumber("MusicVolume", m_music);
        table.SetNumber("AmbientVolume", m_ambient);
        table.SetNumber("EffectsVolume", m_effects);
    }
    UIScreen::Init();
}

void UIOptionsDialog::ApplyVolumes(double music, double effects, double ambient)
{
    if (Audio* audio = Audio::Instance()) {
        audio->SetClassVolume(u"Music", static_cast<float>(music));
        audio->SetClassVolume(u"Effects", static_cast<float>(effects));
        audio->SetClassVolume(u"Ambient", static_cast<float>(ambient));
    }
}

void UIOptionsDialog::TakeVolumes()
{
    const QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    Profile* profile = CurrentProfile();
    if (!table.IsTable() || !profile)
        return;
    // A script may leave a value out or out of range: the profile keeps 0..1.
    auto read = [&](const char* key, double fallback) {
        const QuillLua::LuaValueRef value = table.GetByName(key);
        const double v = value.IsNumber() ? value.GetNumber() : fallback;
        return v < 0 ? 0.0 : (v > 1 ? 1.0 : v);
    };
    profile->musicVolume = read("MusicVolume", profile->musicVolume);
    profile->effectsVolume = read("EffectsVolume", profile->effectsVolume);
    profile->ambientVolume = read("AmbientVolume", profile->ambientVolume);
    ApplyVolumes(profile->musicVolume, profile->effectsVolume, profile->ambientVolume);
}

void UIOptionsDialog::Update()
{
    TakeVolumes();
    StateMachine::Update();
}

void UIOptionsDialog::Close(bool save)
{
    Profile* profile = CurrentProfile();
    if (!save) {
        if (profile) {
            profile->musicVolume = m_music;
            profile->effectsVolume = m_effects;
            profile->ambientVolume = m_ambient;
        }
        ApplyVolumes(m_music, m_effects, m_ambient);
        return;
    }
    const QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (table.IsTable()) {
        const bool fullscreen = table.GetByName("FullScreen").GetBoolean();
        const GameLinks& links = Links();
        if (fullscreen != IsFullscreen(links) && links.setFullscreen)
            links.setFullscreen(fullscreen);
        const bool software = table.GetByName("Software").GetBoolean();
        if (software != IsSoftware()) {
            if (CRenderManager* renderer = CRenderManager::Instance())
                renderer->SetSoftwareDevice(software); // refused after a fall-back of its own
        }
        const bool relaxed = table.GetByName("Relaxed").GetBoolean();
        if (profile && relaxed != profile->relaxed) {
            profile->relaxed = relaxed;
            profile->clockPlaying = !relaxed;
        }
    }
    TakeVolumes();
}
