#include "game/screens/menus/UIMenuProfileDialog.h"

#include <algorithm>
#include <cctype>

#include "engine/app/ScriptBridge.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/graphics/text/TextRenderer.h"
#include "engine/script/LuaValueRef.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/states/GameServices.h"
#include "platform/window/VirtualKeys.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kCurrentProfileColour = 0xFF0000;
constexpr const char16_t* kNewProfile = u"New Profile";

String Trimmed(const String& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.substr(begin, end - begin);
}

// Letters and digits: ASCII ones, and the accented Latin letters of the name font.
bool NameCharacter(uint32_t c)
{
    if (c < 128)
        return std::isalnum(static_cast<int>(c)) != 0;
    return c >= 0xC0 && c <= 0x17F && c != 0xD7 && c != 0xF7;
}

bool SameIgnoringCase(const String& a, const String& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

} // namespace

UIMenuProfileDialog::UIMenuProfileDialog(IScreenHost& host) : UIScreen(host, u"Menu_ProfileDialog", true) {}

InstanceHandle UIMenuProfileDialog::RowText(int32_t row) const
{
    Instance_Movie* dialog = HandleEx::ResolveMovie(GetInstance());
    if (!dialog)
        return {};
    Instance_Movie* rowMovie = HandleEx::ResolveMovie(dialog->FindChild(Format(u"profile%d", {row + 1})));
    return rowMovie ? rowMovie->FindChild(u"profileName").AsText() : InstanceHandle();
}

void UIMenuProfileDialog::Init()
{
    if (UserInterface* ui = UserInterface::Instance())
        ui->AddGlobalHandler(GetInstance());
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const ProfileMgr* mgr = ProfileMgr::Instance();
    const std::vector<Profile*> profiles = mgr ? mgr->GetProfiles() : std::vector<Profile*>{};
    const Profile* current = mgr ? mgr->CurrentProfile() : nullptr;
    for (int32_t row = 0; row < kRows; ++row) {
        const Profile* profile =
            row < static_cast<int32_t>(profiles.size()) ? profiles[static_cast<size_t>(row)] : nullptr;
        if (const Instance_Text* text = HandleEx::ResolveText(RowText(row)))
            m_rowColour = text->GetColor();
        if (profile && profile == current) {
            m_selected = row;
            m_openingRow = row;
            if (table.IsTable())
                table.SetNumber("selectedIndex", row + 1);
        }
        if (table.IsTable()) {
            const std::string n = std::to_string(row + 1);
            table.SetNumber(("profileStatus" + n).c_str(), profile ? 1 : 0);
            table.SetString(("text" + n).c_str(), ToUtf8(profile ? profile->name : String(kNewProfile)).c_str());
        }
    }
    RefreshSelection();
    MarkChosen(m_selected);
    UIScreen::Init();
}

void UIMenuProfileDialog::MarkChosen(int32_t chosen)
{
    for (int32_t row = 0; row < kRows; ++row)
        if (Instance_Text* text = HandleEx::ResolveText(RowText(row)))
            text->SetColor(row == chosen ? kCurrentProfileColour : m_rowColour);
}

void UIMenuProfileDialog::RefreshSelection()
{
    m_selectedText = RowText(m_selected);
    const Instance_Text* text = HandleEx::ResolveText(m_selectedText);
    m_selectedName = text ? text->GetText() : String();
}

void UIMenuProfileDialog::ShowEntered()
{
    if (Instance_Text* text = HandleEx::ResolveText(m_selectedText))
        text->SetText(m_entered);
}

void UIMenuProfileDialog::Close(bool save)
{
    if (UserInterface* ui = UserInterface::Instance())
        ui->RemoveGlobalHandler(GetInstance());
    // Play takes up the chosen player unless that one is already current (a player added in this
    // list became current, so the row the list opened on says nothing any more).
    ProfileMgr* mgr = ProfileMgr::Instance();
    const Profile* current = mgr ? mgr->CurrentProfile() : nullptr;
    if (save && mgr && !m_selectedName.empty() && !(current && SameIgnoringCase(current->name, m_selectedName)))
        mgr->SwitchProfile(m_selectedName);
}

void UIMenuProfileDialog::OnScreenEvent(const String& event, const String& argument)
{
    const int32_t row = ToInt(argument) - 1;
    if (event == u"Profile Switch") {
        if (row < 0 || row >= kRows)
            return;
        m_notEditing = true;
        m_selected = row;
        RefreshSelection();
        // The marker goes with the click: the player marked is the one Play goes on with.
        MarkChosen(row);
    } else if (event == u"New Entry Profile Entry") {
        if (row < 0 || row >= kRows)
            return;
        QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
        if (table.IsTable())
            table.SetNumber("cursorX", 0);
        m_cursor = 0;
        m_entered.clear();
        m_selected = row;
        m_notEditing = false;
        RefreshSelection();
        ShowEntered();
    } else if (event == u"ClearInputProfile") {
        m_notEditing = true;
        m_entered = kNewProfile;
        ShowEntered();
    } else if (event == u"AddNewProfile") {
        Instance_Text* text = HandleEx::ResolveText(m_selectedText);
        const String typed = Trimmed(text ? text->GetText() : String());
        ProfileMgr* mgr = ProfileMgr::Instance();
        const Profile* holder = nullptr;
        if (mgr)
            for (const Profile* profile : mgr->GetProfiles())
                if (!holder && SameIgnoringCase(profile->name, typed))
                    holder = profile;
        const bool taken = holder != nullptr;
        if (const GameLinks& links = Links(); taken && links.showMessage)
            links.showMessage("Velvet Aisle", "There is a player called \"" + ToUtf8(holder->name) +
                                                  "\" already. Please choose another name.");
        // The manager tells the player why it refuses a new player.
        if (mgr && !typed.empty() && !taken && mgr->NewProfile(typed)) {
            m_selectedName = typed;
            MarkChosen(m_selected);
            if (IScreenHost* screens = Screens())
                screens->Close(u"MainMenuDialog", true);
        } else {
            // Refused: the row is empty again, and Play goes on with the row the list opened on.
            if (text)
                text->SetText(kNewProfile);
            m_selected = m_openingRow;
            RefreshSelection();
        }
    } else if (event == u"Confirm Delete Prompt") {
        const ProfileMgr* mgr = ProfileMgr::Instance();
        const std::vector<Profile*> profiles = mgr ? mgr->GetProfiles() : std::vector<Profile*>{};
        const bool current = m_selected < static_cast<int32_t>(profiles.size()) &&
                             profiles[static_cast<size_t>(m_selected)] == mgr->CurrentProfile();
        if (current)
            ShowModalScreen(u"Menu_RefuseDeleteDialog");
        else if (IScreenHost* screens = Screens())
            screens->Open(std::make_unique<UIMenuConfirmDeleteDialog>(*screens, argument));
    } else if (event == u"Delete Profile") {
        const Instance_Text* text = HandleEx::ResolveText(m_selectedText);
        if (ProfileMgr* mgr = ProfileMgr::Instance(); mgr && text)
            mgr->DeleteProfile(text->GetText());
        if (IScreenHost* screens = Screens())
            screens->Close(u"Menu_ProfileDialog", false);
    }
}

void UIMenuProfileDialog::OnKeyDown(const InstanceHandle&, uint32_t key)
{
    // Only editing keys here: what a key types arrives as its text (OnChar).
    if (m_notEditing)
        return;
    using namespace QuillPlatform;
    const int32_t length = static_cast<int32_t>(m_entered.size());
    if (key == VK_BACK) {
        if (m_cursor <= 0)
            return;
        m_entered.erase(static_cast<size_t>(m_cursor - 1), 1);
        --m_cursor;
    } else if (key == VK_LEFT) {
        m_cursor = std::max(m_cursor - 1, 0);
    } else if (key == VK_RIGHT) {
        m_cursor = std::min(m_cursor + 1, length);
    } else {
        return;
    }
    ShowEnteredAndCursor();
}

void UIMenuProfileDialog::OnChar(const InstanceHandle&, uint32_t character)
{
    if (m_notEditing)
        return;
    const bool space = character == u' ';
    if (!space && !NameCharacter(character))
        return;
    const int32_t length = static_cast<int32_t>(m_entered.size());
    // The limit counts spaces too: it is what the player list's rows and the album's letter are
    // laid out for. A name starts with a letter or digit.
    const int32_t at = std::clamp(m_cursor, 0, length);
    if (length >= kMaxNameLength || (space && at == 0))
        return;
    m_entered.insert(static_cast<size_t>(at), 1, static_cast<char16_t>(character));
    m_cursor = at + 1;
    ShowEnteredAndCursor();
}

void UIMenuProfileDialog::ShowEnteredAndCursor()
{
    ShowEntered();
    int32_t width = 0, height = 0;
    const Instance_Text* text = HandleEx::ResolveText(m_selectedText);
    if (TextRenderer* renderer = TextRenderer::Instance(); renderer && text && text->GetFontIndex() != -1)
        renderer->MeasureText(text->GetFontIndex(), StringView(m_entered).substr(0, static_cast<size_t>(m_cursor)),
                              width, height);
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (table.IsTable())
        table.SetInteger("cursorX", width);
}

// --- confirm delete ---

UIMenuConfirmDeleteDialog::UIMenuConfirmDeleteDialog(IScreenHost& host, String profileName)
    : UIScreen(host, u"Menu_ConfirmDeleteDialog", true), m_profileName(std::move(profileName))
{
}

void UIMenuConfirmDeleteDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (table.IsTable())
        table.SetString("profileName", ToUtf8(m_profileName).c_str());
    UIScreen::Init();
}
