#include "game/story/StoryMiniGame.h"

#include <algorithm>
#include <cmath>

#include "engine/core/audio/Audio.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/states/GameServices.h"
#include "game/states/GameState.h"

using namespace QuillEngine;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {{u"storygame.win", 0}};

constexpr const char16_t* kEndButton = u"endGameButton";
constexpr const char16_t* kChoicesButton = u"showChoicesButton";
constexpr const char16_t* kArrowName = u"hinter";
constexpr const char16_t* kFaderName = u"heartFader";
constexpr const char16_t* kTransitionScript = u"StoryTransitions.lua";

void PlayEffect(const char16_t* name)
{
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(name, false);
}

Profile* CurrentProfile()
{
    const ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

LevelRecord* CurrentLevel()
{
    const Profile* profile = CurrentProfile();
    return profile ? profile->CurrentLevel() : nullptr;
}

// The current level record's number; -1 without one, which matches no level.
int32_t CurrentLevelNumber()
{
    const LevelRecord* level = CurrentLevel();
    return level ? level->number : -1;
}

// Integers of the story file read with automatic base: "0x" hexadecimal, a leading 0 octal.
int32_t ReadInt(const String& text)
{
    return ParseInt32(text, 0);
}

QuillLua::LuaValueRef ScriptGlobals()
{
    LuaMgr* lua = LuaMgr::Instance();
    QuillLua::LuaState* state = lua ? lua->GetState() : nullptr;
    return state ? state->GetGlobals() : QuillLua::LuaValueRef();
}

} // namespace

StoryMiniGame::StoryMiniGame(IGameServices* services, Console* console) : m_services(services)
{
    LoadStory();
    if (console)
        m_commands.Register(*console, *this, kCommands);
}

StoryMiniGame::~StoryMiniGame()
{
    m_commands.Unregister();
    m_checkBoxes.clear();
    // The layout stays under the root when the game goes first; it must not call back here.
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_layout))
        if (movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
    for (const char16_t* name : {kEndButton, kChoicesButton})
        if (Instance_Movie* button = HandleEx::ResolveMovie(Child(name)))
            if (button->GetEventHandler() == this)
                button->SetEventHandler(nullptr);
}

// --- the story file ---

bool StoryMiniGame::LoadStory()
{
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* document = cache ? cache->Get(kFileName) : nullptr;
    return document && LoadStory(*document);
}

bool StoryMiniGame::LoadStory(const XmlNode& document)
{
    for (const auto& element : document.Children()) {
        if (element->GetName() != u"SEGMENT")
            continue;
        auto segment = std::make_unique<StorySegment>();
        String image;
        if (!element->GetAttribute(u"ID", segment->id) || !element->GetAttribute(u"TEASER", segment->teaser) ||
            !element->GetAttribute(u"IMAGE", image) || !element->GetAttribute(u"TEXT", segment->text))
            return false;
        segment->image = ReadInt(image);
        std::vector<const XmlNode*> choices;
        for (const auto& child : element->Children())
            if (child->GetName() == u"CHOICE")
                choices.push_back(child.get());
        if (!choices.empty() && choices.size() != kChoices)
            return false;
        for (const XmlNode* choice : choices) {
            String id;
            if (!choice->GetAttribute(u"ID", id))
                return false;
            segment->choices.push_back(std::move(id));
        }
        String key = segment->id;
        m_segments[key] = std::move(segment);
    }
    return true;
}

String StoryMiniGame::StartSegmentFor(const XmlNode* document, int32_t level)
{
    String start = kFirstSegment;
    if (!document)
        return start;
    for (const auto& element : document->Children()) {
        if (element->GetName() != u"LEVEL")
            continue;
        String number, node;
        if (!element->GetAttribute(u"LEVEL", number) || !element->GetAttribute(u"STARTNODE", node))
            break;
        if (ReadInt(number) == level)
            start = node;
    }
    return start;
}

const StorySegment* StoryMiniGame::FindSegment(const String& id) const
{
    const auto it = m_segments.find(id);
    return it == m_segments.end() ? nullptr : it->second.get();
}

const char16_t* StoryMiniGame::ClosingText(int32_t level)
{
    if (level == 8)
        return u"Still to come...\nThe Proposal!";
    if (level == 14)
        return u"See you at the wedding!";
    return u"Still to come...\nThe First Date!";
}

int32_t StoryMiniGame::SubtitleFrame(int32_t level)
{
    return level == 8 ? 1 : level == 14 ? 2 : 0;
}

// --- a run ---

void StoryMiniGame::Start(const InstanceHandle& root)
{
    m_root = root;
    m_layout = {};
    const Profile* profile = CurrentProfile();
    // A saved segment the story no longer has would leave the player on an empty page: the level's
    // story starts again instead.
    const bool resumed =
        profile && profile->StoryState() && RestoreState(profile->StoryState()) && FindSegment(m_currentId);
    if (!resumed) {
        XmlCache* cache = XmlCache::Instance();
        m_currentId = StartSegmentFor(cache ? cache->Get(kFileName) : nullptr, CurrentLevelNumber());
    }
    // Without a page to start on no layout is made at all: a page that never fills would stay over
    // the album and hide it while the album went on taking clicks.
    if (!FindSegment(m_currentId)) {
        LeaveUnreadableStory();
        return;
    }
    // Kept from the start, so a run left before its layout has loaded still takes the layout away.
    m_layout = root.CreateChild(u"StoryLayout", kLayoutName);
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_layout)) {
        movie->SetVisible(true);
        movie->SetPlaying(false);
        movie->SetInputEnabled(true);
        movie->SetEventHandler(this);
    }
}

void StoryMiniGame::LeaveUnreadableStory()
{
    // An empty or broken story file has no page to show: the player is told once and taken back
    // to the album rather than left on an empty page.
    if (!m_services)
        return;
    if (!m_toldUnreadable && m_services->Links().showMessage) {
        m_toldUnreadable = true;
        m_services->Links().showMessage(
            "Velvet Aisle", "The story \"" + ToUtf8(kFileName) + "\" in the game's data.dat is empty or damaged (" +
                                "it has no page \"" + ToUtf8(m_currentId) +
                                "\"), so this story cannot be read; the album goes on without it. "
                                "Installing the game again restores it.");
    }
    m_services->SwitchGameState(GameState_Book);
}

void StoryMiniGame::Reset()
{
    m_currentId.clear();
    // The run is over: nothing of it may be saved again later.
    m_currentSegment = nullptr;
    m_inProgress = false;
    SetState(State_Idle);
    m_checkBoxes.clear();
    m_boxOptions.clear();
    m_chosenBox = nullptr;
    if (HandleEx::ResolveMovie(m_layout))
        m_layout.Delete(true);
    m_layout = {};
}

std::unique_ptr<XmlNode> StoryMiniGame::SaveState() const
{
    auto element = std::make_unique<XmlNode>(u"storygame");
    element->SetAttribute(u"segment", m_currentSegment ? m_currentSegment->id : m_currentId);
    return element;
}

bool StoryMiniGame::RestoreState(const XmlNode* element)
{
    String segment;
    if (!element || !element->GetAttribute(u"segment", segment))
        return false;
    m_currentId = std::move(segment);
    return true;
}

// --- the layout ---

InstanceHandle StoryMiniGame::Root() const
{
    if (!m_root.IsEmpty())
        return m_root;
    UserInterface* ui = UserInterface::Instance();
    return ui ? ui->GetRootHandle() : InstanceHandle();
}

InstanceHandle StoryMiniGame::Child(const String& name) const
{
    const Instance_Movie* layout = HandleEx::ResolveMovie(m_layout);
    return layout ? layout->FindChild(name) : InstanceHandle();
}

InstanceHandle StoryMiniGame::Child(const char16_t* pattern, int32_t index) const
{
    return Child(Format(pattern, {index}));
}

void StoryMiniGame::SetText(const InstanceHandle& text, const String& value) const
{
    if (Instance_Text* instance = HandleEx::ResolveText(text))
        instance->SetText(value);
}

bool StoryMiniGame::IsButton(const InstanceHandle& handle) const
{
    const Instance_Base* instance = handle.Resolve();
    return instance && (instance->GetName() == kEndButton || instance->GetName() == kChoicesButton);
}

void StoryMiniGame::OnLoad(const InstanceHandle& handle)
{
    const Instance_Base* instance = handle.Resolve();
    if (!instance || instance->GetName() != kLayoutName)
        return;
    m_layout = handle;
    m_checkBoxes.clear();
    m_boxOptions.clear();
    for (int32_t i = 1; i <= kChoices; ++i) {
        const InstanceHandle option = Child(u"option%d", i);
        if (HandleEx::ResolveMovie(option)) {
            m_checkBoxes.push_back(std::make_unique<UICheckBox>(this, option));
            m_boxOptions.push_back(i);
        }
    }
    Child(u"subtitle").SetFrame(SubtitleFrame(CurrentLevelNumber()));
    Child(u"storyPics").SetPlaying(false);
    const InstanceHandle end = Child(kEndButton);
    end.SetVisible(false);
    end.SetInputEnabled(false);
    end.SetEventHandler(this);
    Child(u"endText").SetVisible(false);
    Child(kChoicesButton).SetEventHandler(this);
    ShowSegment(m_currentId);
    m_inProgress = true;
    SetState(State_Reading);
}

void StoryMiniGame::ShowSegment(const String& id)
{
    const StorySegment* segment = FindSegment(id);
    if (!segment)
        return;
    m_currentSegment = segment;
    SetText(Child(u"storyText"), segment->text);
    if (segment->choices.size() != kChoices) {
        ShowConclusion();
        return;
    }
    const InstanceHandle button = Child(kChoicesButton);
    button.SetVisible(true);
    button.SetInputEnabled(true);
    for (int32_t i = 1; i <= kChoices; ++i) {
        const StorySegment* choice = FindSegment(segment->choices[static_cast<size_t>(i - 1)]);
        const InstanceHandle text = Child(u"text%d", i);
        SetText(text, choice ? choice->teaser : String());
        text.SetOpacity(0);
        const InstanceHandle picture = Child(u"pic%d", i);
        picture.SetFrame(choice ? choice->image - 1 : 0);
        picture.SetOpacity(0);
        Child(u"heart%d", i).SetOpacity(0);
        const InstanceHandle option = Child(u"option%d", i);
        option.SetOpacity(0);
        option.SetInputEnabled(false);
    }
}

void StoryMiniGame::ShowConclusion()
{
    for (int32_t i = 1; i <= kChoices; ++i) {
        const InstanceHandle option = Child(u"option%d", i);
        option.SetVisible(false);
        option.SetInputEnabled(false);
        for (const char16_t* pattern : {u"text%d", u"heart%d", u"pic%d"})
            Child(pattern, i).SetVisible(false);
    }
    // The choices of an ended story are never revealed again.
    const InstanceHandle choicesButton = Child(kChoicesButton);
    choicesButton.SetVisible(false);
    choicesButton.SetInputEnabled(false);
    PlayEffect(u"StoryConclusion");
    const InstanceHandle end = Child(kEndButton);
    end.SetVisible(true);
    end.SetInputEnabled(true);
    const InstanceHandle endText = Child(u"endText");
    if (HandleEx::ResolveText(endText)) {
        SetText(endText, ClosingText(CurrentLevelNumber()));
        endText.SetVisible(true);
    }
    Child(u"laceHeart1").SetVisible(false);
    Child(u"laceHeart3").SetVisible(false);
}

// --- the player ---

void StoryMiniGame::ChoiceMade(UICheckBox& box)
{
    // A click while the page is read only brings the choices in.
    if (GetState() == State_Reading)
        SetState(State_RevealChoices);
    if (GetState() != State_Choosing)
        return;
    for (size_t i = 0; i < m_checkBoxes.size(); ++i) {
        UICheckBox* candidate = m_checkBoxes[i].get();
        if (candidate == &box) {
            m_chosenBox = candidate;
            // The box's own option: a layout missing an option must not shift the choice.
            m_chosenIndex = m_boxOptions[i] - 1;
            PlayEffect(u"ChoiceMade");
            SetState(State_HintFlying);
        } else {
            candidate->SetChecked(false);
        }
    }
}

void StoryMiniGame::OnMouseEnter(const InstanceHandle& handle)
{
    if (IsButton(handle))
        handle.SetFrame(1);
}

void StoryMiniGame::OnMouseLeave(const InstanceHandle& handle)
{
    if (IsButton(handle))
        handle.SetFrame(0);
}

void StoryMiniGame::OnMouseUp(const InstanceHandle& handle, bool)
{
    const Instance_Base* instance = handle.Resolve();
    if (!instance)
        return;
    if (instance->GetName() == kEndButton) {
        handle.SetFrame(2);
        PlayEffect(u"Click");
        SetState(State_Finished);
    } else if (instance->GetName() == kChoicesButton) {
        handle.SetFrame(2);
        PlayEffect(u"Click");
        if (GetState() == State_Reading)
            SetState(State_RevealChoices);
    }
}

void StoryMiniGame::OnMouseUpOutside(const InstanceHandle& handle, bool)
{
    if (IsButton(handle))
        handle.SetFrame(0);
}

void StoryMiniGame::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (!arguments.empty() && arguments[0] == u"storygame.win")
        ShowConclusion();
}

// --- states ---

void StoryMiniGame::OnEnter(int32_t state)
{
    switch (state) {
    case State_Reading:
        if (m_services)
            m_services->ShowTutorialStory();
        break;
    case State_RevealChoices: {
        const InstanceHandle button = Child(kChoicesButton);
        button.SetVisible(false);
        button.SetInputEnabled(false);
        m_revealTicks = 0;
        break;
    }
    case State_HintFlying:
        EnterFlight();
        break;
    case State_HeartFade:
        m_revealTicks = 0;
        Root().CreateChild(u"heartMovie", kFaderName);
        break;
    case State_Finished:
        EnterFinished();
        break;
    default:
        break;
    }
}

void StoryMiniGame::OnExit(int32_t state)
{
    switch (state) {
    case State_RevealChoices:
        for (int32_t i = 1; i <= kChoices; ++i)
            Child(u"option%d", i).SetInputEnabled(true);
        break;
    case State_HintFlying:
        LeaveFlight();
        break;
    case State_HeartFade:
        if (const Instance_Movie* root = HandleEx::ResolveMovie(Root())) {
            const InstanceHandle fader = root->FindChild(kFaderName);
            if (HandleEx::ResolveInstance(fader))
                fader.Delete(true);
        }
        break;
    default:
        break;
    }
}

void StoryMiniGame::OnUpdate(int32_t state)
{
    switch (state) {
    case State_RevealChoices:
        StepReveal();
        break;
    case State_HintFlying:
        StepFlight();
        break;
    case State_HeartFade: {
        QuillLua::LuaValueRef globals = ScriptGlobals();
        if (globals.IsTable()) {
            globals.SetNumber("transitionScene", m_chosenIndex + 1);
            globals.SetBoolean("transitionDone", false);
        }
        LuaMgr* lua = LuaMgr::Instance();
        // Without its script the page is never covered: the story goes on at once rather than
        // waiting for ever.
        if ((!lua || !lua->DoFile(kTransitionScript)) && globals.IsTable())
            globals.SetBoolean("transitionDone", true);
        SetState(State_AwaitTransition);
        break;
    }
    case State_AwaitTransition: {
        QuillLua::LuaValueRef globals = ScriptGlobals();
        const QuillLua::LuaValueRef done = globals.IsTable() ? globals.GetByName("transitionDone") : globals;
        if (globals.IsTable() && !(done.IsBoolean() && done.GetBoolean()))
            break;
        if (globals.IsTable())
            globals.SetBoolean("fadeTransitionOut", true);
        const StorySegment* segment = m_currentSegment;
        if (segment && m_chosenIndex >= 0 && static_cast<size_t>(m_chosenIndex) < segment->choices.size())
            ShowSegment(segment->choices[static_cast<size_t>(m_chosenIndex)]);
        SetState(State_Reading);
        break;
    }
    default:
        break;
    }
}

const char16_t* StoryMiniGame::RevealSound(int32_t tick)
{
    static constexpr const char16_t* kSounds[kChoices] = {u"Choice1", u"Choice2", u"Choice3"};
    if (tick < 0 || tick >= kChoices * kRevealSteps || tick % kRevealSteps != 0)
        return nullptr;
    return kSounds[tick / kRevealSteps];
}

void StoryMiniGame::StepReveal()
{
    const int32_t tick = static_cast<int32_t>(m_revealTicks);
    if (tick >= kChoices * kRevealSteps) {
        // The last step of the fade leaves every choice fully shown.
        for (int32_t i = 1; i <= kChoices; ++i)
            for (const char16_t* pattern : {u"text%d", u"pic%d", u"option%d"})
                Child(pattern, i).SetOpacity(1.0f);
        SetState(State_Choosing);
        return;
    }
    const int32_t i = tick / kRevealSteps + 1;
    const InstanceHandle text = Child(u"text%d", i);
    const InstanceHandle picture = Child(u"pic%d", i);
    const InstanceHandle heart = Child(u"heart%d", i);
    const InstanceHandle option = Child(u"option%d", i);
    if (const char16_t* sound = RevealSound(tick);
        sound && text.Resolve() && picture.Resolve() && heart.Resolve() && option.Resolve())
        PlayEffect(sound);
    const float opacity = (m_revealTicks - static_cast<float>(kRevealSteps * (i - 1))) / kRevealSteps;
    text.SetOpacity(opacity);
    picture.SetOpacity(opacity);
    option.SetOpacity(opacity);
    m_revealTicks += 1.0f;
}

void StoryMiniGame::EnterFlight()
{
    Instance_Movie* root = HandleEx::ResolveMovie(Root());
    if (root)
        m_trail = root->CreateParticleEmitter(u"hinttrail.xml", u"hinttrail", 115, 70);
    const InstanceHandle arrow = Root().CreateChild(u"HintArrowSprite", kArrowName);
    if (!HandleEx::ResolveInstance(arrow) || !m_chosenBox)
        return;
    const BezierPoint target = kArrowTargets[std::clamp(m_chosenIndex, 0, kChoices - 1)];
    const float controlX = std::max((target.x - kArrowStart.x) * 0.5f + kArrowStart.x, 205.0f);
    m_positionPath = std::make_unique<BezierPath>(kArrowStart, BezierPoint{controlX, 0.0f}, target, kArrowSeconds);
    m_scalePath = std::make_unique<BezierPath>(BezierPoint{1, 1}, BezierPoint{1, 1}, BezierPoint{1, 1}, kArrowSeconds);
    arrow.SetPosition(kArrowStart.x, kArrowStart.y);
    arrow.SetScale(0.01f, 0.01f);
    m_trail.SetPosition(115.0f, 70.0f);
    m_last = kArrowStart;
}

void StoryMiniGame::StepFlight()
{
    const Instance_Movie* root = HandleEx::ResolveMovie(Root());
    const InstanceHandle arrow = root ? root->FindChild(kArrowName) : InstanceHandle();
    // Without the arrow there is nothing to fly: straight on to the transition.
    if (!m_positionPath || !m_scalePath) {
        SetState(State_HeartFade);
        return;
    }
    BezierPoint p;
    if (!m_positionPath->Step(p)) {
        SetState(State_HeartFade);
        return;
    }
    BezierPoint scale{1, 1};
    if (!m_scalePath->Step(scale))
        scale = {1, 1};
    arrow.SetPosition(p.x, p.y);
    arrow.SetScale(scale.x, scale.y);
    arrow.SetRotation(std::atan2(p.y - m_last.y, p.x - m_last.x) - 3.14f);
    m_trail.SetPosition(p.x - 10.0f, p.y - 10.0f);
    m_last = p;
}

void StoryMiniGame::LeaveFlight()
{
    m_positionPath.reset();
    m_scalePath.reset();
    if (const Instance_Movie* root = HandleEx::ResolveMovie(Root())) {
        const InstanceHandle arrow = root->FindChild(kArrowName);
        if (HandleEx::ResolveInstance(arrow))
            arrow.Delete(true);
    }
    m_trail.Stop();
    m_trail = {};
}

void StoryMiniGame::EnterFinished()
{
    m_inProgress = false;
    Profile* profile = CurrentProfile();
    if (LevelRecord* level = CurrentLevel())
        level->bonusPlayed = true;
    // A story saved earlier in this level is over now, even when the next level was open already
    // (then opening it keeps the saved games): it must not come back on the next visit.
    if (profile)
        profile->SetStoryState(nullptr);
    if (ProfileMgr* profiles = ProfileMgr::Instance()) {
        profiles->OpenNextLevel();
        profiles->RequestSave();
    }
    if (m_services)
        m_services->SwitchGameState(GameState_Book);
}
