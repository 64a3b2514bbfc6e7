#include "game/screens/UIScreen.h"

#include "game/feedback/FeedbackReporter.h"

#include "engine/app/ScriptBridge.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaValueRef.h"
#include "game/states/GameServices.h"
#include "game/states/GameState.h"

using namespace QuillEngine;

UIScreen::UIScreen(IScreenHost& host, String name, bool modal) : m_host(host), m_modal(modal), m_name(std::move(name))
{
    const InstanceHandle dialogs = host.DialogsLayer();
    if (!HandleEx::ResolveMovie(dialogs))
        return;
    m_created = dialogs.CreateChild(m_name, m_name);
    Instance_Movie* movie = HandleEx::ResolveMovie(m_created);
    if (!movie) {
        m_created = {};
        return;
    }
    movie->SetVisible(false);
    movie->SetEventHandler(this);
    FeedbackReporter::ReportScreenOpened(m_name);
    if (Instance_Base* layer = dialogs.Resolve())
        layer->MoveToFront();
    SetState(0);
}

UIScreen::~UIScreen()
{
    // Handlers are detached first: neither instance may call back into this screen.
    if (HandleEx::ResolveMovie(m_modalBackground.AsLive()))
        m_modalBackground.Delete(true);
    const InstanceHandle own = m_instance.IsEmpty() ? m_created : m_instance;
    if (own.Resolve())
        own.Delete(true);
}

const GameLinks& UIScreen::Links() const
{
    static const GameLinks none;
    const IGameServices* game = m_host.Services();
    return game ? game->Links() : none;
}

bool UIScreen::IsOwnInstance(const InstanceHandle& handle) const
{
    const Instance_Base* instance = handle.Resolve();
    return instance && instance->GetName() == m_name;
}

void UIScreen::CallLuaEvent(StringView name)
{
    LuaMgr* lua = LuaMgr::Instance();
    if (!lua || m_instance.IsEmpty())
        return;
    const QuillLua::LuaValueRef table = ScriptBridge::TableOf(m_instance, lua->GetState());
    if (!table.IsTable())
        return;
    const std::string handler = ToUtf8(name);
    lua->CallHandler(table, handler.c_str());
}

void UIScreen::OnEnter(int32_t state)
{
    if (state != 1)
        return;
    if (LuaMgr* lua = LuaMgr::Instance())
        lua->DoFile(m_name + u".lua");
    Init();
}

void UIScreen::OnLoad(const InstanceHandle& handle)
{
    if (!IsOwnInstance(handle) || GetState() != 0)
        return;
    m_instance = handle;
    handle.SetVisible(true);

    if (m_modal) {
        const InstanceHandle parent = handle.GetParent();
        m_modalBackground = parent.CreateChild(u"ModalBkg", m_name + u"_ModalBkg");
        if (Instance_Movie* background = HandleEx::ResolveMovie(m_modalBackground)) {
            background->SetScale(100, 100);
            background->SetVisible(false);
            background->SetEventHandler(this);
            background->MoveBefore(handle);
        }
    }

    QuillLua::LuaValueRef table = ScriptBridge::TableOf(handle);
    if (table.IsTable()) {
        const IGameServices* game = m_host.Services();
        const int32_t state = game ? game->CurrentGameState() : GameState_None;
        if (state == GameState_Board || state == GameState_Concentration)
            table.SetBoolean("inGame", true);
        if (m_name == u"CreditsDialog") {
            table.SetNumber("masklayer", 4);
            table.SetNumber("maskedin", 65537);
            table.SetNumber("maskclear", 131073);
        }
    }
    SetState(1);
}

void UIScreen::Forward(const InstanceHandle& handle, const char16_t* event)
{
    if (IsOwnInstance(handle))
        CallLuaEvent(event);
}

void UIScreen::OnFrameChanged(const InstanceHandle& handle)
{
    Forward(handle, u"FrameChanged");
}
void UIScreen::OnMouseDown(const InstanceHandle& handle, bool)
{
    Forward(handle, u"MouseDown");
}
void UIScreen::OnMouseEnter(const InstanceHandle& handle)
{
    Forward(handle, u"MouseEnter");
}
void UIScreen::OnMouseLeave(const InstanceHandle& handle)
{
    Forward(handle, u"MouseLeave");
}
void UIScreen::OnMouseUp(const InstanceHandle& handle, bool)
{
    Forward(handle, u"MouseUp");
}
void UIScreen::OnMouseUpOutside(const InstanceHandle& handle, bool)
{
    Forward(handle, u"MouseUpOutside");
}
void UIScreen::OnTimelineStop(const InstanceHandle& handle)
{
    Forward(handle, u"TimelineStop");
}
