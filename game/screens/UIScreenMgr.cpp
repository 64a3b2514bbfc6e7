#include "game/screens/UIScreenMgr.h"

#include <algorithm>

#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "game/screens/ScreenBindings.h"
#include "game/screens/UIScreen.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

namespace {

constexpr const char16_t* kShowCommand = u"screenmgr.show";
constexpr const char16_t* kHideCommand = u"screenmgr.hide";
constexpr ConsoleCommandEntry kCommands[] = {{kShowCommand, 1}, {kHideCommand, 1}};

} // namespace

UIScreenMgr::UIScreenMgr(IGameServices* services, Console* console) : m_services(services)
{
    if (console)
        m_commands.Register(*console, *this, kCommands);
    UserInterface* ui = UserInterface::Instance();
    if (Instance_Movie* root = ui ? ui->GetRoot() : nullptr) {
        m_dialogsCreated = root->CreateEmptyChild(u"dialogs");
        if (Instance_Movie* dialogs = HandleEx::ResolveMovie(m_dialogsCreated))
            dialogs->SetEventHandler(this);
    }
    m_scriptGlobals = std::make_unique<ScreenBindings>(*this, LuaMgr::Instance());
}

UIScreenMgr::~UIScreenMgr()
{
    m_commands.Unregister();
    // Scripts outlive the manager: their globals must not reach a deleted one.
    m_scriptGlobals.reset();
    m_open.clear();
    m_closing.clear();
    if (UserInterface* ui = UserInterface::Instance())
        ui->RemoveGlobalHandler(m_dialogs);
    if (HandleEx::ResolveMovie(m_dialogsCreated))
        m_dialogsCreated.Delete(true);
}

void UIScreenMgr::OnLoad(const InstanceHandle& handle)
{
    const Instance_Base* instance = handle.Resolve();
    if (!instance || instance->GetName() != u"dialogs")
        return;
    m_dialogs = handle;
    handle.SetVisible(true);
    if (UserInterface* ui = UserInterface::Instance())
        ui->AddGlobalHandler(handle);
}

void UIScreenMgr::OnKeyDown(const InstanceHandle&, uint32_t key)
{
    // A menu opened under a pause could take no click: the pause ends first.
    if (key != kKeyMainMenu || IsOpen(u"MainMenuDialog") || KeyboardTaken() || (m_services && m_services->Paused()))
        return;
    if (m_maker)
        Open(m_maker(*this, u"MainMenuDialog", true));
}

void UIScreenMgr::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.size() < 2)
        return;
    if (arguments[0] == kShowCommand)
        Show(arguments[1], false);
    else if (arguments[0] == kHideCommand)
        Close(arguments[1], false);
}

bool UIScreenMgr::Show(const String& name, bool modal)
{
    Instance_Base* layer = m_dialogs.Resolve();
    if (!layer)
        return false;
    layer->MoveToFront();
    if (std::unique_ptr<UIScreen> made = m_maker ? m_maker(*this, name, modal) : nullptr)
        return Open(std::move(made));
    return Open(std::make_unique<UIScreen>(*this, name, modal));
}

bool UIScreenMgr::Open(std::unique_ptr<UIScreen> screen)
{
    if (!screen || screen->GetCreatedInstance().IsEmpty())
        return false;
    m_open.push_back(std::move(screen));
    return true;
}

bool UIScreenMgr::Close(const String& name, bool save)
{
    for (size_t i = 0; i < m_open.size(); ++i) {
        if (m_open[i]->GetName() != name)
            continue;
        m_closing.push_back(std::move(m_open[i]));
        m_open.erase(m_open.begin() + static_cast<ptrdiff_t>(i));
        if (m_updating >= static_cast<ptrdiff_t>(i))
            --m_updating;
        m_closing.back()->Close(save);
        return true;
    }
    return false;
}

void UIScreenMgr::ScreenEvent(const String& event, const String& argument)
{
    // A screen may open or close screens, itself included, from its event: walk the screens open
    // now and skip those closed on the way. A closed screen lives on in the closing list until the
    // next Update, so the snapshot's pointers stay valid.
    std::vector<UIScreen*> snapshot;
    snapshot.reserve(m_open.size());
    for (const auto& screen : m_open)
        snapshot.push_back(screen.get());
    for (UIScreen* screen : snapshot) {
        const bool stillOpen =
            std::any_of(m_open.begin(), m_open.end(), [screen](const auto& open) { return open.get() == screen; });
        if (stillOpen)
            screen->OnScreenEvent(event, argument);
    }
}

void UIScreenMgr::CallInScreen(const String& screen, const String& handler)
{
    if (UIScreen* target = FindScreen(screen))
        target->CallLuaEvent(handler);
}

UIScreen* UIScreenMgr::FindScreen(const String& name) const
{
    for (const auto& screen : m_open) {
        if (screen->GetName() == name)
            return screen.get();
    }
    return nullptr;
}

bool UIScreenMgr::IsOpen(const String& name) const
{
    return FindScreen(name) != nullptr;
}

bool UIScreenMgr::KeyboardTaken() const
{
    return std::any_of(m_open.begin(), m_open.end(), [](const auto& screen) { return screen->TakesKeyboard(); });
}

bool UIScreenMgr::ModalOpen() const
{
    return std::any_of(m_open.begin(), m_open.end(), [](const auto& screen) { return screen->IsModal(); });
}

void UIScreenMgr::Update()
{
    m_closing.clear();
    for (m_updating = 0; m_updating < static_cast<ptrdiff_t>(m_open.size()); ++m_updating)
        m_open[static_cast<size_t>(m_updating)]->Update();
    m_updating = -1;
}
