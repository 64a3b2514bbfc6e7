#include "game/board/Board.h"

#include <algorithm>
#include <cmath>

#include "engine/core/EngineRand.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/board/Item.h"
#include "game/board/dialogs/BoardDialogs.h"
#include "game/board/dialogs/UIISpyPanel.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/UIBoardDialog.h"
#include "game/states/BoardOwner.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {
    {u"ispy.settime", 1}, {u"ispy.win", 0}, {u"ispy.lose", 0}, {u"ispy.setfoundcount", 1}, {u"ispy.sethintcount", 1},
};

void PlayEffect(const char16_t* name)
{
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(name, false);
}

} // namespace

// --- bad clicks ---

BadClickWindow::Result BadClickWindow::Register(float x, float y)
{
    const float distance = std::hypot(x - m_lastX, y - m_lastY);
    m_lastX = x;
    m_lastY = y;
    if (!(m_count == 0 || (distance > kFreeDistance && m_window > 0.0f)))
        return Result::Ignored;
    m_window = kWindowSeconds;
    if (++m_count < kPenaltyCount)
        return Result::Counted;
    m_count = 0;
    return Result::Penalty;
}

void BadClickWindow::Step(float seconds)
{
    if (m_count <= 0)
        return;
    m_window = std::max(0.0f, m_window - seconds);
    if (m_window <= 0.0f)
        m_count = 0;
}

FindListSplit FindListSplit::For(uint32_t wanted, float mix)
{
    FindListSplit split;
    if (mix == 4.0f) {
        split.primaryDifficulty = 4;
        split.primary = wanted;
        split.secondary = 0;
        return split;
    }
    // Out-of-range mixes are held to [0, 1] so neither count can turn negative or exceed the want.
    const float share = std::clamp(std::isfinite(mix) ? mix : 0.0f, 0.0f, 1.0f);
    split.primary = static_cast<uint32_t>(share * static_cast<float>(wanted));
    split.secondary = static_cast<uint32_t>((1.0f - share) * static_cast<float>(wanted));
    if (split.primary + split.secondary != wanted)
        split.primary = wanted - split.secondary;
    return split;
}

bool FindListSplit::Candidate(const Item& item)
{
    return !item.IsActive() && !item.IsBluebird() && item.GetState() != Item::State_Hidden;
}

// --- the board ---

uint32_t Board::RandomInt(size_t count)
{
    return count == 0 ? 0 : static_cast<uint32_t>(Rand()) % static_cast<uint32_t>(count);
}

Board::Board(IBoardOwner* owner, IGameServices* services, int32_t sceneNumber, String sceneName, String ambientSound)
    : m_owner(owner), m_services(services), m_ambientName(std::move(ambientSound)), m_sceneName(std::move(sceneName)),
      m_sceneNumber(sceneNumber)
{
}

Board::~Board()
{
    // The find-list panel refreshes from its board every step: a board deleted while its panel
    // was open (left for another without finishing) would be read after it was freed.
    UIISpyPanel::CloseFor(ScreensOf(m_services), this);
    Unload();
    m_ambient.Stop();
}

Profile* Board::CurrentProfile()
{
    const ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

LevelRecord* Board::CurrentLevel()
{
    const Profile* profile = CurrentProfile();
    return profile ? profile->CurrentLevel() : nullptr;
}

SceneRecord* Board::Record() const
{
    const Profile* profile = CurrentProfile();
    return profile ? profile->FindScene(m_sceneNumber) : nullptr;
}

void Board::RebindAlbum()
{
    if (m_owner)
        m_owner->RebindPages();
}

void Board::Unload()
{
    m_hintTarget = nullptr;
    m_hintPath.reset();
    m_hintScalePath.reset();
    m_covers.Clear();
    m_items.clear();
    if (HandleEx::ResolveInstance(m_scene))
        m_scene.Delete(true);
    m_scene = {};
    m_loaded = false;
}

void Board::SetActive(bool on, const InstanceHandle& root)
{
    if (!on) {
        m_scene.SetVisible(false);
        m_scene.SetInputEnabled(false);
        m_commands.Unregister();
        m_ambient.Stop();
        m_ambient = {};
        SetState(State_Inactive);
        return;
    }
    m_hintReminder = kHintReminderSeconds;
    if (!m_loaded) {
        UserInterface* ui = UserInterface::Instance();
        LoadScene(!root.IsEmpty() ? root : ui ? ui->GetRootHandle() : InstanceHandle());
    }
    m_scene.SetVisible(true);
    m_scene.SetInputEnabled(true);
    if (IScreenHost* screens = ScreensOf(m_services); screens && !screens->IsOpen(UIISpyPanel::kName))
        screens->Open(std::make_unique<UIISpyPanel>(*screens, this));
    if (m_services && m_services->Links().console)
        m_commands.Register(*m_services->Links().console, *this, kCommands);
    if (!m_ambient.IsPlaying()) {
        if (m_ambientName.empty())
            m_ambientName = u"Environment1";
        if (Audio* audio = Audio::Instance())
            m_ambient = audio->PlaySound(m_ambientName, true);
    }
    SetState(State_Playing);
}

bool Board::Load()
{
    if (!m_loaded) {
        UserInterface* ui = UserInterface::Instance();
        LoadScene(ui ? ui->GetRootHandle() : InstanceHandle());
    }
    if (HasThingsToFind())
        return true;
    Unload();
    return false;
}

bool Board::HasThingsToFind() const
{
    return std::any_of(m_items.begin(), m_items.end(), [](const auto& item) { return !item->IsBluebird(); });
}

void Board::LoadScene(const InstanceHandle& root)
{
    m_root = root;
    ++s_sceneCounter;
    const String name = Format(u"Board%d", {s_sceneCounter});
    m_scene = root.CreateChild(m_sceneName, name);
    m_scene.SetPlaying(false);
    m_scene.SetPosition(0, 0);
    m_scene.SetEventHandler(this);
    ++m_loadCount;
    std::vector<std::string> leftOut;
    ReadItems(leftOut);
    // A scene with nothing to find is refused as a whole (the game names it): its records stay as
    // they were and the lines left out are not named on their own.
    if (HasThingsToFind()) {
        TellLeftOut(leftOut);
        Prepare();
        if (Profile* profile = CurrentProfile())
            profile->SetClockPlaying(true);
    }
    SetState(State_Inactive);
    m_loaded = true;
    m_finalFindPending = false;
}

bool Board::IsLastLevel() const
{
    const Profile* profile = CurrentProfile();
    if (!profile || profile->levels.empty())
        return false;
    int32_t last = 0;
    for (const auto& level : profile->levels)
        last = std::max(last, level->number);
    return profile->CurrentLevelNumber() == last;
}

void Board::Prepare()
{
    SceneRecord* record = Record();
    const LevelRecord* level = CurrentLevel();
    if (!record)
        return;
    // A scene that is played becomes one in progress: its lists are saved with it.
    if (record->status == SceneRecord::Open)
        record->status = SceneRecord::InProgress;
    if (level && !level->crisis && !IsLastLevel()) {
        if (record->bluebirds.empty())
            ChooseBluebirds(*record);
        for (const auto& item : m_items) {
            if (!item->IsBluebird())
                continue;
            const String instanceName = item->GetInstanceName();
            const bool waiting = std::any_of(record->bluebirds.begin(), record->bluebirds.end(),
                                             [&](const auto& e) { return !e->found && e->name == instanceName; });
            if (!waiting)
                item->Hide();
            item->SetActive(true);
        }
    } else {
        // No bluebirds in crisis levels or on the last level: they stay out of the picture.
        for (const auto& item : m_items) {
            if (item->IsBluebird())
                item->Hide();
        }
    }
    const bool fresh = record->findList.empty();
    if (fresh)
        ChooseFindList(*record);
    for (const auto& item : m_items) {
        if (item->GetState() != Item::State_Hidden)
            item->SetActive(true);
    }
    if (fresh)
        return;
    for (const auto& entry : record->findList) {
        if (!entry->found)
            continue;
        for (const auto& item : m_items) {
            if (item->CompareName(entry->group) == entry->name)
                item->Hide();
        }
    }
}

String Board::ItemFileName() const
{
    return Format(u"Levels\\%s.xml", {m_sceneName});
}

const XmlNode* Board::ItemDocument() const
{
    XmlCache* cache = XmlCache::Instance();
    return cache ? cache->Get(ItemFileName()) : nullptr;
}

void Board::ReadItems(std::vector<std::string>& leftOut)
{
    const XmlNode* document = ItemDocument();
    Instance_Movie* scene = HandleEx::ResolveMovie(m_scene);
    if (!document)
        return;
    std::vector<InstanceHandle> named; // the scene children the lines so far have named
    int32_t line = 0;
    for (const auto& element : document->Children()) {
        if (element->GetName() != u"Item")
            continue;
        ++line;
        String id, name, difficulty, group, plural;
        const bool hasId = element->GetAttribute(u"id", id);
        const bool hasName = element->GetAttribute(u"name", name);
        const bool hasDifficulty = element->GetAttribute(u"difficulty", difficulty);
        const std::string label =
            !hasId ? "item " + std::to_string(line) : ToUtf8(id) + (hasName ? " (\"" + ToUtf8(name) + "\")" : "");
        // A line without what every item needs is left out on its own: the lines after it stand.
        const char* missing = !hasId ? "id" : !hasName ? "name" : !hasDifficulty ? "difficulty" : nullptr;
        if (missing) {
            leftOut.push_back(label + ", which has no \"" + missing + "\"");
            continue;
        }
        element->GetAttribute(u"group", group);
        element->GetAttribute(u"plural", plural);
        if (!scene || !scene->HasChild(id))
            continue;
        const InstanceHandle child = scene->FindChild(id);
        // One picture, one entry: a second line naming it would stay on the list once the picture
        // was found and gone.
        if (std::find(named.begin(), named.end(), child) != named.end()) {
            leftOut.push_back(label + ", whose picture an item before it names already");
            continue;
        }
        named.push_back(child);
        int32_t index = 0;
        for (int32_t i = 0; i < scene->GetChildCount(); ++i) {
            if (scene->GetChild(i) == child)
                index = i;
        }
        auto item = std::make_unique<Item>(this);
        item->Bind(child, index);
        // An item nobody can click would keep the scene from ever being won: it never joins the
        // board (nor its find list).
        float left = 0, top = 0, right = 0, bottom = 0;
        if (Instance_Base* instance = child.Resolve())
            instance->GetBounds(left, top, right, bottom);
        const UserInterface* ui = UserInterface::Instance();
        if (!CanBeFound(*item, left, top, right, bottom, ui ? float(ui->ScreenWidth()) : 800.0f,
                        ui ? float(ui->ScreenHeight()) : 600.0f)) {
            // The item goes: its movie must not keep calling it.
            child.SetEventHandler(nullptr);
            child.SetInputEnabled(false);
            leftOut.push_back(label + ", which cannot be found (no picture, no size, or off the picture)");
            continue;
        }
        item->SetName(name);
        item->SetDifficulty(ToUInt(difficulty));
        item->SetGroup(group);
        item->SetPlural(plural);
        child.SetInputEnabled(true);
        m_items.push_back(std::move(item));
    }
    m_covers.Read(m_scene, m_items);
}

bool Board::CanBeFound(const Item& item, float left, float top, float right, float bottom, float width,
                       float height)
{
    return item.HasSolidPixel() && right > left && bottom > top && right > kPanelEdge && left < width && bottom > 0 &&
           top < height;
}

void Board::TellLeftOut(const std::vector<std::string>& items)
{
    if (items.empty() || m_toldLeftOut || !m_services || !m_services->Links().showMessage)
        return;
    m_toldLeftOut = true;
    std::string list;
    for (const std::string& item : items)
        list += (list.empty() ? "" : "; ") + item;
    m_services->Links().showMessage(
        "Velvet Aisle", "In the scene \"" + ToUtf8(m_sceneName) + "\", these items of \"" + ToUtf8(ItemFileName()) +
                            "\" are left out of its list: " + list + ". Installing the game again restores them.");
}

void Board::ChooseBluebirds(SceneRecord& record)
{
    size_t wanted = 2 + static_cast<size_t>(Rand() % 2);
    std::vector<Item*> candidates;
    for (const auto& item : m_items) {
        if (item->IsBluebird())
            candidates.push_back(item.get());
    }
    wanted = std::min(wanted, candidates.size());
    for (size_t i = 0; i < wanted; ++i) {
        const uint32_t pick = RandomInt(candidates.size());
        Item* item = candidates[pick];
        item->SetActive(true);
        auto entry = std::make_unique<FindListEntry>(item->GetInstanceName(), String());
        record.bluebirds.push_back(std::move(entry));
        candidates.erase(candidates.begin() + pick);
    }
}

void Board::ChooseFindList(SceneRecord& record)
{
    FindListSplit split = FindListSplit::For(static_cast<uint32_t>(std::max(record.items, 0)), record.difficulty);
    std::vector<Item*> primary, secondary;
    for (const auto& item : m_items) {
        if (!FindListSplit::Candidate(*item))
            continue;
        if (item->GetDifficulty() == split.primaryDifficulty)
            primary.push_back(item.get());
        else if (item->GetDifficulty() == 2)
            secondary.push_back(item.get());
    }
    if (primary.size() < split.primary || secondary.size() < split.secondary) {
        split.primary = static_cast<uint32_t>(primary.size());
        split.secondary = 0;
    }
    auto take = [&](std::vector<Item*>& from, uint32_t count) {
        for (uint32_t i = 0; i < count && !from.empty(); ++i) {
            const uint32_t pick = RandomInt(from.size());
            from[pick]->SetActive(true);
            AddToFindList(record, *from[pick]);
            from.erase(from.begin() + pick);
        }
    };
    take(primary, split.primary);
    take(secondary, split.secondary);
}

void Board::AddToFindList(SceneRecord& record, const Item& item)
{
    if (!item.GetGroup().empty()) {
        for (const auto& entry : record.findList) {
            if (entry->name == item.GetGroup()) {
                ++entry->count;
                ++entry->maxcount;
                entry->UpdateText();
                return;
            }
        }
        record.findList.push_back(std::make_unique<FindListEntry>(item.GetGroup(), item.GetPlural()));
        return;
    }
    record.findList.push_back(std::make_unique<FindListEntry>(item.GetName(), String()));
}

void Board::TakeOneFind(FindListEntry& entry)
{
    if (entry.count <= 1) {
        entry.count = 0;
        entry.found = true;
    } else {
        --entry.count;
    }
    entry.UpdateText();
}

bool Board::MatchFindList(const Item& item)
{
    SceneRecord* record = Record();
    if (!record)
        return false;
    for (const auto& entry : record->findList) {
        if (!entry->found && entry->name == item.CompareName(entry->group)) {
            TakeOneFind(*entry);
            return true;
        }
    }
    return false;
}

void Board::Tick()
{
    // A board whose scene was taken away (another player chosen from the menu) waits to be loaded.
    if (!m_loaded)
        return;
    StateMachine::Update();
    if (GetState() == State_Inactive)
        return;
    // An item's animation may end the scene and, through its dialog, unload nothing: the list is
    // stable for the pass. Indices guard against an unload from a handler all the same.
    for (size_t i = 0; i < m_items.size(); ++i)
        m_items[i]->Tick();
    m_badClicks.Step(kStep);
}

void Board::OnMouseDown(const InstanceHandle& handle, bool)
{
    if (GetState() != State_Playing)
        return;
    Instance_Base* scene = HandleEx::ResolveInstance(handle);
    if (!scene || !StartsWith(scene->GetName(), u"Board"))
        return;
    float x = 0, y = 0;
    scene->GetLocalMousePosition(x, y);
    OnClick(x, y);
}

std::vector<Item*> Board::ItemsAt(float x, float y) const
{
    std::vector<Item*> hits;
    for (const auto& item : m_items) {
        Instance_Base* instance = HandleEx::ResolveInstance(item->GetInstance());
        if (!item->IsActive() || !instance)
            continue;
        float left = 0, top = 0, right = 0, bottom = 0;
        instance->GetBounds(left, top, right, bottom);
        if (x >= left && x <= right && y >= top && y <= bottom && item->HitTest(x, y) && !m_covers.Hides(*item, x, y))
            hits.push_back(item.get());
    }
    // The item drawn on top is tried first.
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Item* a, const Item* b) { return a->SortKey() > b->SortKey(); });
    return hits;
}

void Board::OnClick(float x, float y)
{
    m_hintReminder = kHintReminderSeconds;
    if (x <= kPanelEdge)
        return;
    const std::vector<Item*> hits = ItemsAt(x, y);
    for (Item* item : hits) {
        if (!MatchFindList(*item) && !item->IsBluebird())
            continue;
        item->OnFound();
        const LevelRecord* level = CurrentLevel();
        const SceneRecord* record = Record();
        if ((level && level->maxItems - level->items < 2) || (record && record->ItemsLeft() < 2))
            m_finalFindPending = true;
        if (!item->IsBluebird() && level)
            ++CurrentLevel()->items;
        return;
    }
    const Profile* profile = CurrentProfile();
    if (!profile || !profile->relaxed)
        OnBadClick(hits.empty() ? String() : hits.front()->GetName(), x, y);
}

void Board::OnBadClick(const String& name, float x, float y)
{
    const BadClickWindow::Result result = m_badClicks.Register(x, y);
    if (result == BadClickWindow::Result::Ignored)
        return;
    if (result == BadClickWindow::Result::Counted) {
        PlayEffect(u"IncorrectItem");
    } else {
        if (IGameServices* game = m_services)
            game->ShowTutorialBadClick(this);
        ApplyTimePenalty();
    }
    const String key = u"Item";
    FeedbackReporter::SetEventParameters(&key, &name, 1);
    FeedbackReporter::ReportItemEventAlt("itembadclick", Format(u"%d", {m_badClicks.Count()}));
}

void Board::ApplyTimePenalty()
{
    if (LevelRecord* level = CurrentLevel(); level && CurrentProfile())
        CurrentProfile()->SpendTime(*level, kPenaltySeconds);
    if (IScreenHost* screens = ScreensOf(m_services))
        screens->ScreenEvent(u"TimeLost", u"dummy");
    PlayEffect(u"TimeWarning");
}

void Board::CheckComplete()
{
    const LevelRecord* level = CurrentLevel();
    const SceneRecord* record = Record();
    if (level && record && level->maxItems > level->items && record->ItemsLeft() != 0) {
        // The scene goes on: no final find is waiting any more (a bluebird taken one item short
        // must not keep the clock from ending the scene).
        m_finalFindPending = false;
        return;
    }
    if (GetState() != State_Won)
        SetState(State_Won);
}

void Board::OnBluebirdFound(const String& instanceName)
{
    Profile* profile = CurrentProfile();
    if (!profile)
        return;
    const int32_t total = ++profile->bluebirds;
    if (SceneRecord* record = Record()) {
        for (const auto& entry : record->bluebirds) {
            if (!entry->found && entry->name == instanceName)
                TakeOneFind(*entry);
        }
    }
    IScreenHost* screens = ScreensOf(m_services);
    const bool milestone = total == 1 || total == 5 || total == 10 || total == 25 || total == 50 || total == 80;
    if (screens && (total == 1 || total == 5 || total == 10 || total == 25))
        screens->Open(std::make_unique<UIBoardBluebirdDialog>(*screens, this, total));
    else if (screens && total == 50)
        screens->Open(std::make_unique<UICrisisWonDialog>(*screens, this, true, this));
    else if (screens && total == 80)
        screens->Open(std::make_unique<UIBoardDialog>(*screens, u"Game_SecretBluebirdDialog", true, this));
    PlayEffect(milestone ? u"BluebirdThreshold" : u"BluebirdFound");
}

// --- states ---

void Board::OnEnter(int32_t state)
{
    Profile* profile = CurrentProfile();
    switch (state) {
    case State_Playing:
        if (IGameServices* game = m_services) {
            game->ShowTutorialScene(this);
            const LevelRecord* level = CurrentLevel();
            if (level && level->number == 2 && profile && profile->bluebirds == 0)
                game->ShowTutorialBluebird(this);
            if (level && level->crisis)
                game->ShowTutorialCrisis(this);
        }
        if (profile)
            profile->SetClockPlaying(true);
        break;
    case State_Inactive:
        if (profile)
            profile->SetClockPlaying(false);
        break;
    case State_HintFlying:
        EnterHintFlight();
        break;
    case State_Won:
        if (GetPreviousState() != State_Inactive)
            EnterWon();
        break;
    case State_Lost:
        if (GetPreviousState() != State_Inactive)
            EnterLost();
        break;
    default:
        break;
    }
}

void Board::OnExit(int32_t state)
{
    if (state == State_HintFlying)
        LeaveHintFlight();
    // The background music paused for the scene's end (a march, a dialog's sound) plays on.
    if (state == State_Won && m_services)
        m_services->CurrentMusic().Resume();
}

void Board::OnUpdate(int32_t state)
{
    switch (state) {
    case State_Playing: {
        Profile* profile = CurrentProfile();
        LevelRecord* level = CurrentLevel();
        if (profile && level)
            profile->SpendTime(*level, kStep);
        m_hintReminder -= kStep;
        if (m_hintReminder < 0.0f) {
            ShowHintPrompt();
            m_hintReminder = kHintReminderSeconds;
        }
        if (level && level->timeLeft <= 0.0f && !m_finalFindPending)
            SetState(State_Lost);
        break;
    }
    case State_HintFlying:
        StepHintFlight();
        break;
    case State_Won:
        StepWon();
        break;
    default:
        break;
    }
}

void Board::EnterWon()
{
    Profile* profile = CurrentProfile();
    ProfileMgr* profiles = ProfileMgr::Instance();
    if (profile)
        profile->SetClockPlaying(false);
    FeedbackReporter::ReportLevelEvent("win");
    SceneRecord* record = Record();
    if (record)
        record->status = SceneRecord::Complete;
    if (profile && record && profile->IsDone(record->level) && profiles)
        profiles->OpenNextLevel();
    if (m_owner)
        m_owner->OnBoardFinished(true);
    IScreenHost* screens = ScreensOf(m_services);
    const LevelRecord* level = CurrentLevel();
    if (level && !level->crisis) {
        if (IsLastLevel()) {
            if (m_owner)
                m_owner->SubmitHighScore();
            if (screens)
                screens->Open(std::make_unique<UIGameOverDialog>(*screens));
            PlayEffect(u"LevelWon");
        } else {
            const bool levelComplete = profile && profile->CompleteScene();
            if (screens)
                screens->Open(std::make_unique<UIBoardWinDialog>(*screens, record ? record->title : String(),
                                                                 level->maxTime - level->timeLeft));
            PlayEffect(levelComplete ? u"LevelWon" : u"SceneComplete");
        }
    } else if (level) {
        if (screens)
            screens->Open(std::make_unique<UICrisisWonDialog>(*screens, this, false, this));
        PlayEffect(u"CrisisAverted");
    }
}

void Board::StepWon()
{
    if (++m_collectCounter < kCollectSteps)
        return;
    m_collectCounter = 0;
    Instance_Movie* scene = HandleEx::ResolveMovie(m_scene);
    if (!scene)
        return;
    float width = 0, height = 0;
    scene->GetSize(width, height);
    scene->CreateParticleEmitter(u"collect.xml", u"collect",
                                 static_cast<int32_t>(RandomInt(size_t(std::max(width, 0.0f)))),
                                 static_cast<int32_t>(RandomInt(size_t(std::max(height, 0.0f)))));
}

void Board::EnterLost()
{
    if (Profile* profile = CurrentProfile())
        profile->SetClockPlaying(false);
    if (IScreenHost* screens = ScreensOf(m_services))
        screens->Open(std::make_unique<UIBoardLoseDialog>(*screens));
    PlayEffect(u"LevelLost");
    const SceneRecord* record = Record();
    String missing;
    if (record) {
        for (const auto& entry : record->findList) {
            if (entry->found)
                continue;
            if (!missing.empty())
                missing += u",";
            missing += entry->name;
        }
    }
    const String keys[2] = {u"itemnotfound", u"replay"};
    const String values[2] = {missing, record && record->replay ? u"1" : u"0"};
    FeedbackReporter::SetEventParameters(keys, values, 2);
    FeedbackReporter::ReportLevelEvent("lose");
    if (m_owner)
        m_owner->OnBoardFinished(false);
}

// --- console ---

void Board::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.empty())
        return;
    const String& command = arguments[0];
    const size_t count = arguments.size() - 1;
    LevelRecord* level = CurrentLevel();
    SceneRecord* record = Record();
    if (command == u"ispy.settime" && count == 1) {
        if (level)
            level->timeLeft = ToFloat(arguments[1]);
    } else if (command == u"ispy.win" && count == 0) {
        // Every item still to find counted as its click would count it, a group's one by one.
        if (record) {
            for (const auto& entry : record->findList) {
                while (!entry->found) {
                    if (level)
                        ++level->items;
                    TakeOneFind(*entry);
                }
            }
        }
        SetState(State_Won);
    } else if (command == u"ispy.lose" && count == 0) {
        SetState(State_Lost);
    } else if (command == u"ispy.setfoundcount" && count == 1) {
        if (!record)
            return;
        const uint32_t wanted = ToUInt(arguments[1]);
        uint32_t found = 0;
        for (const auto& entry : record->findList)
            found += entry->found ? 1 : 0;
        // One find at a time to the first entry still open, each counted.
        while (found < wanted) {
            auto open = std::find_if(record->findList.begin(), record->findList.end(),
                                     [](const auto& entry) { return !entry->found; });
            if (open == record->findList.end())
                break;
            TakeOneFind(**open);
            ++found;
        }
    } else if (command == u"ispy.sethintcount" && count == 1) {
        const uint32_t hints = ToUInt(arguments[1]);
        if (level && hints <= 3)
            level->hints = static_cast<int32_t>(hints);
    }
}
