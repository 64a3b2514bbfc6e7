#include "game/cards/ConBoard.h"

#include <algorithm>

#include "engine/core/EngineRand.h"
#include "engine/core/audio/Audio.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/cards/dialogs/ConDialogs.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {
    {u"concentration.hint", 0}, {u"concentration.settime", 1}, {u"concentration.sethintcount", 1},
    {u"concentration.lose", 0}, {u"concentration.win", 0},
};

void PlayEffect(const char16_t* name)
{
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(name, false);
}

InstanceHandle RootHandle()
{
    UserInterface* ui = UserInterface::Instance();
    return ui ? ui->GetRootHandle() : InstanceHandle();
}

// Every element of that name in the document, depth first.
void Collect(const XmlNode& node, StringView name, std::vector<const XmlNode*>& out)
{
    for (const auto& child : node.Children()) {
        if (child->GetName() == name)
            out.push_back(child.get());
        Collect(*child, name, out);
    }
}

} // namespace

ConBoard::ConBoard(IGameServices* services) : m_services(services)
{
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* document = cache ? cache->Get(kTableFile) : nullptr;
    if (document)
        LoadTable(*document);
}

ConBoard::~ConBoard()
{
    m_commands.Unregister();
    Reset();
}

bool ConBoard::LoadTable(const XmlNode& document)
{
    m_levels.clear();
    m_cardDefs.clear();
    std::vector<const XmlNode*> cards, levels;
    if (document.GetName() == u"card")
        cards.push_back(&document);
    Collect(document, u"card", cards);
    Collect(document, u"level", levels);
    std::vector<ConCardDef> cardDefs;
    std::vector<ConLevelDef> levelDefs;
    for (const XmlNode* element : cards) {
        String type, frame;
        if (!element->GetAttribute(u"type", type) || !element->GetAttribute(u"frame", frame))
            return false;
        ConCardDef def;
        def.frame = ToUInt(frame);
        if (type == u"C") {
            def.kind = ConCard::Kind_Clock;
        } else if (type == u"J") {
            def.kind = ConCard::Kind_Joker;
        } else {
            def.kind = ConCard::Kind_Face;
            def.set = static_cast<int32_t>(ToUInt(type));
        }
        cardDefs.push_back(def);
    }
    for (const XmlNode* element : levels) {
        String rows, cols, level, cardset, jokers, clocks;
        if (!element->GetAttribute(u"rows", rows) || !element->GetAttribute(u"cols", cols) ||
            !element->GetAttribute(u"level", level) || !element->GetAttribute(u"cardset", cardset) ||
            !element->GetAttribute(u"jokers", jokers) || !element->GetAttribute(u"clocks", clocks))
            return false;
        levelDefs.push_back(
            {ToUInt(rows), ToUInt(cols), ToUInt(level), ToUInt(cardset), ToUInt(jokers), ToUInt(clocks)});
    }
    if (cardDefs.empty() || levelDefs.empty())
        return false;
    m_cardDefs = std::move(cardDefs);
    m_levels = std::move(levelDefs);
    if (m_services && m_services->Links().console)
        m_commands.Register(*m_services->Links().console, *this, kCommands);
    return true;
}

Profile* ConBoard::CurrentProfile()
{
    const ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

LevelRecord* ConBoard::CurrentLevel()
{
    const Profile* profile = CurrentProfile();
    return profile ? profile->CurrentLevel() : nullptr;
}

// --- building and taking down ---

void ConBoard::Start(const InstanceHandle& parent)
{
    if (HandleEx::ResolveInstance(m_boardInstance))
        return;
    m_started = true;
    Profile* profile = CurrentProfile();
    const LevelRecord* level = CurrentLevel();
    if (profile && level)
        FeedbackReporter::SetLevel(Format(u"%d", {profile->MaxSceneNumber(level->number) + 1}), u"concentration");
    m_parent = parent.IsEmpty() ? RootHandle() : parent;
    m_laidOut = false;
    m_boardInstance = m_parent.CreateChild(u"ConBoard", u"ConBoard");
    m_boardInstance.SetEventHandler(this);
    m_boardInstance.SetVisible(false);
    if (profile && profile->ConcentrationState()) {
        // The saved game is taken up: a loss from here deals afresh, and leaving saves it again.
        std::unique_ptr<XmlNode> saved = std::move(profile->concentration);
        RestoreState(*saved);
    } else {
        Deal();
    }
}

void ConBoard::Reset()
{
    m_remaining = 0;
    m_firstFaceUp = nullptr;
    m_cards.clear();
    if (HandleEx::ResolveInstance(m_boardInstance)) {
        m_boardInstance.SetEventHandler(nullptr);
        m_boardInstance.Delete(true);
    }
    m_boardInstance = {};
    m_object = {};
    m_laidOut = false;
    m_started = false;
    m_resumeState = State_Playing;
    SetState(State_Dealing);
}

void ConBoard::Deal()
{
    m_block = true;
    const LevelRecord* level = CurrentLevel();
    const ConLevelDef* entry = nullptr;
    for (const ConLevelDef& def : m_levels) {
        if (level && def.level == static_cast<uint32_t>(level->number))
            entry = &def;
    }
    if (!entry)
        return;
    m_columns = static_cast<int32_t>(std::min(entry->cols, kMaxCards));
    m_rows = static_cast<int32_t>(std::min(entry->rows, kMaxCards));
    const size_t grid = std::min<size_t>(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows), kMaxCards);

    std::vector<const ConCardDef*> faces;
    const ConCardDef* joker = nullptr;
    const ConCardDef* clock = nullptr;
    for (const ConCardDef& def : m_cardDefs) {
        if (def.kind == ConCard::Kind_Face && def.set == static_cast<int32_t>(entry->cardset))
            faces.push_back(&def);
        else if (def.kind == ConCard::Kind_Joker)
            joker = &def;
        else if (def.kind == ConCard::Kind_Clock)
            clock = &def;
    }
    std::vector<const ConCardDef*> deck;
    for (uint32_t i = 0; joker && i < entry->jokers && deck.size() < grid; ++i)
        deck.push_back(joker);
    for (uint32_t i = 0; clock && i < entry->clocks && deck.size() < grid; ++i)
        deck.push_back(clock);
    const std::vector<const ConCardDef*> kept = faces;
    // A set without faces fills nothing: the grid keeps its jokers and clocks only.
    while (deck.size() < grid && !kept.empty()) {
        if (faces.empty())
            faces = kept;
        const size_t pick = static_cast<size_t>(Rand()) % faces.size();
        deck.push_back(faces[pick]);
        deck.push_back(faces[pick]);
        faces.erase(faces.begin() + static_cast<ptrdiff_t>(pick));
    }
    // An odd grid gets one twin too many: the last one stays out, and its partner leaves by itself
    // as the last card.
    if (deck.size() > grid)
        deck.resize(grid);

    std::vector<const ConCardDef*> dealt;
    while (!deck.empty()) {
        const size_t pick = static_cast<size_t>(Rand()) % deck.size();
        dealt.push_back(deck[pick]);
        deck.erase(deck.begin() + static_cast<ptrdiff_t>(pick));
    }
    for (const ConCardDef* def : dealt)
        m_cards.push_back(std::make_unique<ConCard>(def, this));
    m_remaining = static_cast<int32_t>(m_cards.size());
    if (Profile* profile = CurrentProfile())
        profile->SetClockPlaying(false);
}

void ConBoard::CardRect(int32_t index, int32_t columns, int32_t rows, float& x, float& y, float& size)
{
    columns = std::max(columns, 1);
    rows = std::max(rows, 1);
    const float w = (kGridSize - kGap * static_cast<float>(columns - 1)) / static_cast<float>(columns);
    const float h = (kGridSize - kGap * static_cast<float>(rows - 1)) / static_cast<float>(rows);
    size = std::min(w, h);
    const int32_t column = index / rows;
    const int32_t row = index % rows;
    x = kGridLeft + static_cast<float>(column) * (size + kGap);
    y = kGridTop + static_cast<float>(row) * (size + kGap);
}

void ConBoard::OnLoad(const InstanceHandle& handle)
{
    // The prize movie hears through the board too: only the board's own load lays the cards out.
    if (m_laidOut || !(handle == m_boardInstance))
        return;
    Layout();
}

void ConBoard::Layout()
{
    Instance_Movie* board = HandleEx::ResolveMovie(m_boardInstance);
    if (!board)
        return;
    m_laidOut = true;
    const Profile* profile = CurrentProfile();
    board->FindChild(u"item").SetFrame(std::min(profile ? profile->honeymoonItems : 0, 5));
    m_object = board->FindChild(u"object");
    m_object.SetPlaying(false);
    if (const Instance_Movie* prize = HandleEx::ResolveMovie(m_object))
        prize->FindChild(u"charm").SetFrame(std::min(profile ? profile->honeymoonItems : 0, kKeepsakes - 1));
    m_object.SetEventHandler(this);
    for (size_t k = 0; k < m_cards.size(); ++k) {
        float x = 0, y = 0, size = 0;
        CardRect(static_cast<int32_t>(k), m_columns, m_rows, x, y, size);
        m_cards[k]->Bind(m_boardInstance, x, y, size, size);
    }
    // A level the card table has no entry for deals nothing and the board never gets ready: the
    // panel still opens so that the player can go back to the album.
    if (m_cards.empty()) {
        m_boardInstance.SetVisible(true);
        OpenPanel();
    }
}

void ConBoard::OnTimelineStop(const InstanceHandle& handle)
{
    // The prize stops on its way: it plays on and the panel takes the prize onto its shelf.
    if (GetState() != State_Won || !(handle == m_object))
        return;
    const Instance_Movie* object = HandleEx::ResolveMovie(m_object);
    if (!object || object->GetFrame() <= 0 || object->GetFrame() >= object->GetNumFrames() - 1)
        return;
    m_object.SetPlaying(true);
    if (IScreenHost* screens = ScreensOf(m_services))
        screens->CallInScreen(UIConPanel::kName, u"DoItem");
}

bool ConBoard::IsVisible() const
{
    const Instance_Base* board = HandleEx::ResolveInstance(m_boardInstance);
    return board && board->GetVisible();
}

// --- saving ---

std::unique_ptr<XmlNode> ConBoard::SaveState() const
{
    if (GetState() == State_Dealing)
        return nullptr;
    int32_t state = GetState();
    if (state == State_Ready)
        state = State_Playing;
    else if (state == State_Inactive)
        state = GetPreviousState();
    auto element = std::make_unique<XmlNode>(u"concentration");
    element->SetAttribute(u"state", Format(u"%d", {state}));
    element->SetAttribute(u"columns", Format(u"%d", {m_columns}));
    element->SetAttribute(u"rows", Format(u"%d", {m_rows}));
    element->SetAttribute(u"remaining", Format(u"%d", {m_remaining}));
    element->SetAttribute(u"block", m_block ? u"1" : u"0");
    element->SetAttribute(u"sneaktimer", Format(u"%f", {m_sneakTimer}));
    for (const auto& card : m_cards)
        card->Save(*element);
    return element;
}

void ConBoard::StoreInto(Profile& profile) const
{
    if (!m_started)
        return;
    if (std::unique_ptr<XmlNode> saved = SaveState())
        profile.SetConcentrationState(std::move(saved));
}

void ConBoard::RestoreState(const XmlNode& element)
{
    m_remaining = 0;
    String state, columns, rows, remaining, block, sneak;
    if (!element.GetAttribute(u"state", state) || !element.GetAttribute(u"columns", columns) ||
        !element.GetAttribute(u"rows", rows) || !element.GetAttribute(u"remaining", remaining) ||
        !element.GetAttribute(u"block", block) || !element.GetAttribute(u"sneaktimer", sneak))
        return;
    m_columns = std::min(ToInt(columns), static_cast<int32_t>(kMaxCards));
    m_rows = std::min(ToInt(rows), static_cast<int32_t>(kMaxCards));
    m_remaining = ToInt(remaining);
    m_block = ToInt(block) != 0;
    m_sneakTimer = ToFloat(sneak);
    for (const auto& child : element.Children()) {
        if (child->GetName() != u"card" || m_cards.size() >= kMaxCards)
            continue;
        auto card = std::make_unique<ConCard>(nullptr, this);
        if (card->Load(*child))
            m_cards.push_back(std::move(card));
    }
    m_resumeState = ToInt(state);
    // Only the states a game is played in are taken up again.
    if (m_resumeState != State_Playing && m_resumeState != State_HintShown)
        m_resumeState = State_Playing;
}

// --- play ---

void ConBoard::Begin()
{
    if (GetState() != State_Ready)
        return;
    if (Profile* profile = CurrentProfile())
        profile->SetClockPlaying(true);
    SetState(m_resumeState);
}

void ConBoard::UseHint()
{
    if (GetState() == State_Ready)
        SetState(m_resumeState);
    LevelRecord* level = CurrentLevel();
    if (GetState() != State_Playing || m_firstFaceUp || !level || level->hints <= 0)
        return;
    --level->hints;
    FeedbackReporter::ReportCountEvent("tilehint", Format(u"%d", {level->hints}));
    if (m_remaining <= 1)
        return;
    for (size_t i = 0; i < m_cards.size(); ++i) {
        ConCard* card = m_cards[i].get();
        if (card->GetState() != ConCard::State_FaceDown || card->IsJoker())
            continue;
        for (size_t k = i + 1; k < m_cards.size(); ++k) {
            ConCard* twin = m_cards[k].get();
            if (twin->GetState() == ConCard::State_FaceDown && !twin->IsJoker() && twin->Frame() == card->Frame()) {
                card->SetState(ConCard::State_TurningUp);
                twin->SetState(ConCard::State_TurningUp);
                SetState(State_HintShown);
                return;
            }
        }
        // The first face-down card has no twin face down: the hint is spent.
        return;
    }
}

ConCard* ConBoard::FindFaceDown(int32_t frame, const ConCard* except) const
{
    for (const auto& card : m_cards) {
        if (card.get() != except && card->GetState() == ConCard::State_FaceDown && card->Frame() == frame)
            return card.get();
    }
    return nullptr;
}

bool ConBoard::CheckMatch(ConCard* card, ConCard* other)
{
    if (!card || !other)
        return false;
    if (card->Frame() == other->Frame()) {
        if (card->GetKind() == ConCard::Kind_Clock)
            AddMatchTime();
        m_block = false;
        m_firstFaceUp = nullptr;
        card->SetState(ConCard::State_Matched);
        other->SetState(ConCard::State_Matched);
        PlayEffect(u"Match");
        FeedbackReporter::ReportItemEvent("tilematch", Format(u"%d", {other->Frame()}));
        return true;
    }
    if (card->IsJoker() || other->IsJoker()) {
        const int32_t target = card->IsJoker() ? other->Frame() : card->Frame();
        if (ConCard* twin = FindFaceDown(target, card)) {
            twin->SetState(ConCard::State_TurningUp);
            card->SetPartner(twin);
            card->SetState(ConCard::State_MatchedByJoker);
            other->SetState(ConCard::State_MatchedByJoker);
            PlayEffect(u"MatchWild");
            FeedbackReporter::ReportItemEvent("tilematchwild", Format(u"%d", {target}));
            return true;
        }
    }
    FeedbackReporter::ReportItemEventAlt("tilenomatch", Format(u"%dx%d", {card->Frame(), other->Frame()}));
    return false;
}

void ConBoard::AddMatchTime()
{
    LevelRecord* level = CurrentLevel();
    if (!level)
        return;
    level->bonusTimeLeft += kMatchTimeBonus;
    PlayEffect(u"MatchTime");
    FeedbackReporter::ReportCountEvent("tiletime", Format(u"%f", {level->bonusTimeLeft}));
}

void ConBoard::CardGone(ConCard* card)
{
    if (GetState() != State_Dealing)
        --m_remaining;
    if (m_firstFaceUp == card)
        m_firstFaceUp = nullptr;
    if (m_remaining != 1)
        return;
    // A last card without a partner leaves by itself.
    for (const auto& other : m_cards) {
        const int32_t state = other->GetState();
        if (state == ConCard::State_Gone || state == ConCard::State_Matched)
            continue;
        if (m_firstFaceUp == other.get())
            m_firstFaceUp = nullptr;
        other->SetState(ConCard::State_Matched);
        return;
    }
}

void ConBoard::Tick()
{
    StateMachine::Update();
    // A loss deals a new board from inside the update: the list is walked by index and re-read.
    for (size_t i = 0; i < m_cards.size(); ++i)
        m_cards[i]->Update();
}

// --- states ---

void ConBoard::OnEnter(int32_t state)
{
    Profile* profile = CurrentProfile();
    if (state == State_Playing && profile)
        profile->SetClockPlaying(true);
    if (GetPreviousState() == State_Inactive)
        return;
    switch (state) {
    case State_Ready:
        EnterReady();
        break;
    case State_Inactive:
        if (profile)
            profile->SetClockPlaying(false);
        break;
    case State_Won:
        EnterWon();
        break;
    case State_Lost:
        EnterLost();
        break;
    case State_HintShown:
        m_block = true;
        m_sneakTimer = kSneakSeconds;
        break;
    default:
        break;
    }
}

void ConBoard::OnExit(int32_t state)
{
    if (state == State_HintShown)
        m_block = false;
}

void ConBoard::OnUpdate(int32_t state)
{
    switch (state) {
    case State_Dealing: {
        const bool dealt = !m_cards.empty() && std::all_of(m_cards.begin(), m_cards.end(), [](const auto& card) {
            return card->GetState() >= ConCard::State_FaceDown;
        });
        if (dealt)
            SetState(State_Ready);
        break;
    }
    case State_Ready:
        // A game taken up with its last cards already leaving ends without waiting for a click.
        if (m_remaining <= 0 && !m_cards.empty())
            SetState(State_Won);
        break;
    case State_Playing: {
        const Profile* profile = CurrentProfile();
        LevelRecord* level = CurrentLevel();
        if (level && profile && !profile->relaxed)
            level->bonusTimeLeft -= kStep;
        if (m_remaining <= 0)
            SetState(State_Won);
        else if (level && level->bonusTimeLeft <= 0.0f)
            SetState(State_Lost);
        break;
    }
    case State_HintShown:
        m_sneakTimer -= kStep;
        // A second of steps ends the reveal; the tolerance absorbs the float sum's drift.
        if (m_sneakTimer <= kTimerTolerance) {
            for (const auto& card : m_cards) {
                if (card->GetState() == ConCard::State_FaceUp)
                    card->SetState(ConCard::State_TurningDown);
            }
            SetState(State_Playing);
        }
        break;
    default:
        break;
    }
}

void ConBoard::OpenPanel()
{
    IScreenHost* screens = ScreensOf(m_services);
    if (screens && !screens->IsOpen(UIConPanel::kName))
        screens->Open(std::make_unique<UIConPanel>(*screens, this));
}

void ConBoard::EnterReady()
{
    m_block = false;
    m_boardInstance.SetVisible(true);
    OpenPanel();
    if (m_services)
        m_services->ShowTutorialConcentration();
}

void ConBoard::EnterWon()
{
    Profile* profile = CurrentProfile();
    if (profile) {
        profile->SetClockPlaying(false);
        ++profile->honeymoonItems;
    }
    m_object.SetPlaying(true);
    m_started = false;
    if (LevelRecord* level = CurrentLevel())
        level->bonusPlayed = true;
    if (ProfileMgr* profiles = ProfileMgr::Instance())
        profiles->OpenNextLevel();
    PlayEffect(u"SceneComplete");
    FeedbackReporter::ReportLevelEvent("win");
}

void ConBoard::EnterLost()
{
    if (Profile* profile = CurrentProfile())
        profile->SetClockPlaying(false);
    m_started = false;
    // A new deal at once, the panel staying open for it; then the dialog, whose opening brings the
    // dialogs to the front: opened first, it and the panel would lie under the new cards.
    const InstanceHandle parent = m_parent;
    Reset();
    Start(parent.IsEmpty() ? RootHandle() : parent);
    if (LevelRecord* level = CurrentLevel())
        level->bonusTimeLeft = level->bonusMaxTime;
    if (IScreenHost* screens = ScreensOf(m_services))
        screens->Open(std::make_unique<UIConLoseDialog>(*screens));
    FeedbackReporter::ReportLevelEvent("lose");
}

// --- console ---

void ConBoard::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.empty())
        return;
    const String& command = arguments[0];
    const size_t count = arguments.size() - 1;
    LevelRecord* level = CurrentLevel();
    if (command == u"concentration.hint") {
        UseHint();
    } else if (command == u"concentration.settime") {
        if (count == 1 && level)
            level->bonusTimeLeft = ToFloat(arguments[1]);
    } else if (command == u"concentration.sethintcount") {
        if (count == 1 && level) {
            const uint32_t hints = ToUInt(arguments[1]);
            if (hints <= 3)
                level->hints = static_cast<int32_t>(hints);
        }
    } else if (command == u"concentration.lose") {
        SetState(State_Lost);
    } else if (command == u"concentration.win") {
        SetState(State_Won);
    }
}
