#include "game/book/Book.h"

#include <algorithm>

#include "engine/core/console/Console.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "engine/script/ScriptBinding.h"
#include "game/book/BookArt.h"
#include "game/book/LevelCatalogue.h"
#include "game/book/PageTurner.h"
#include "game/book/Picture.h"
#include "game/book/Tableaux.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/HighScores.h"
#include "game/profile/Profile.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"

using namespace QuillEngine;

namespace {

constexpr ConsoleCommandEntry kCommands[] = {{u"book.winLevel", 0}, {u"book.debugKeys", 0}};
constexpr const char* kTransitionDone = "TransitionDone";
constexpr uint32_t kMaskLayer = 4;
constexpr uint32_t kMaskedAlpha = 0x10001;
constexpr uint32_t kMaskedAlphaClear = 0x30001;
constexpr uint32_t kKeyLeft = 37;
constexpr uint32_t kKeyRight = 39;
constexpr float kDebugRotationStep = 0.063f;

String NameOf(const InstanceHandle& handle)
{
    const Instance_Base* instance = handle.Resolve();
    return instance ? instance->GetName() : String();
}

} // namespace

Book::Book(IGameServices* services, ISubGames* subGames) : m_services(services), m_subGames(subGames)
{
    QuillLua::LuaValueRef globals = BookArt::ScriptGlobals();
    if (globals.IsTable()) {
        QuillLua::RegisterDirect(globals, kTransitionDone, QuillLua::MakeBoundCallee(this, &Book::OnTransitionDone));
        m_scriptBound = true;
    }
    if (m_services && m_services->Links().console)
        m_commands.Register(*m_services->Links().console, *this, kCommands);
    if (ProfileMgr* profiles = ProfileMgr::Instance())
        profiles->SetBookLink(this);
}

Book::~Book()
{
    if (ProfileMgr* profiles = ProfileMgr::Instance(); profiles && profiles->BookLink() == this)
        profiles->SetBookLink(nullptr);
    if (m_scriptBound) {
        QuillLua::LuaValueRef globals = BookArt::ScriptGlobals();
        if (globals.IsTable())
            globals.SetNil(kTransitionDone);
    }
    m_commands.Unregister();
    m_tableaux.reset();
    m_finishedTableaux.reset();
    m_pictures.clear();
    if (m_subGames && m_madeBoards)
        m_subGames->DropBoards();
    m_nextControl.reset();
    m_prevControl.reset();
    // The scene stays under the root; it must not call back into a deleted book.
    for (const InstanceHandle& handle : {m_bookScene.IsEmpty() ? m_created : m_bookScene, m_bluebirdsRollover,
                                         BookArt::Child(m_bookScene, u"mainMenuButton"), m_letterAnimation}) {
        if (Instance_Movie* movie = HandleEx::ResolveMovie(handle); movie && movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
    }
    for (const char16_t* page : {u"pageLeft", u"pageRight", u"pageNear", u"pageFar"}) {
        const InstanceHandle handle = LayoutChild(page);
        if (Instance_Movie* movie = HandleEx::ResolveMovie(handle); movie && movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
    }
    if (UserInterface* ui = UserInterface::Instance(); ui && !m_bookScene.IsEmpty())
        ui->RemoveGlobalHandler(m_bookScene);
}

Profile* Book::CurrentProfile()
{
    ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

LevelRecord* Book::CurrentLevel()
{
    const Profile* profile = CurrentProfile();
    return profile ? profile->CurrentLevel() : nullptr;
}

InstanceHandle Book::GetPageLayout() const
{
    return BookArt::Child(m_bookScene, u"pageLayout");
}

InstanceHandle Book::LayoutChild(StringView name) const
{
    return BookArt::Child(GetPageLayout(), name);
}

void Book::Start(const InstanceHandle& root)
{
    m_created = root.CreateChild(u"FinalBook", kSceneName);
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_created)) {
        movie->SetPlaying(false);
        movie->SetPosition(0, 0);
        movie->SetEventHandler(this);
    }
    m_bluebirdsRollover = root.CreateChild(u"AlbumButton", u"bluebirdsRollover");
    if (Instance_Movie* rollover = HandleEx::ResolveMovie(m_bluebirdsRollover)) {
        rollover->SetPlaying(false);
        rollover->SetVisible(false);
        rollover->SetScale(0.25f, 1.0f);
        rollover->SetPosition(480, 480);
        rollover->SetInputEnabled(false);
        rollover->SetEventHandler(this);
    }
    LoadLevels();
}

void Book::SetActive(bool on)
{
    m_bookScene.SetVisible(on);
    m_bookScene.SetInputEnabled(on);
}

bool Book::LoadLevels()
{
    ProfileMgr* profiles = ProfileMgr::Instance();
    if (!profiles)
        return false;
    std::vector<CataloguePhoto> photos;
    std::string fault;
    const bool ok = LevelCatalogue::LoadFile(*profiles, photos, &fault);
    TakePhotos(photos);
    profiles->FitToCatalogue();
    // The album plays on with the levels read before the fault, but never without a word.
    if (!ok && m_services && m_services->Links().showMessage)
        m_services->Links().showMessage(
            "Velvet Aisle", "The list of levels \"" + ToUtf8(LevelCatalogue::kFileName) +
                                "\" in the game's data.dat could not be read in full (" + fault +
                                "), so the album holds only the levels before it. Installing the game again "
                                "restores it.");
    return ok;
}

bool Book::LoadLevels(const XmlNode& catalogue)
{
    ProfileMgr* profiles = ProfileMgr::Instance();
    if (!profiles)
        return false;
    std::vector<CataloguePhoto> photos;
    const bool ok = LevelCatalogue::Load(catalogue, *profiles, photos);
    TakePhotos(photos);
    profiles->FitToCatalogue();
    return ok;
}

void Book::TakePhotos(const std::vector<CataloguePhoto>& photos)
{
    std::vector<SceneBoardSpec> scenes;
    for (const CataloguePhoto& photo : photos) {
        if (photo.miniGame) {
            m_pictures.push_back(std::make_unique<Picture>(this, photo.package, photo.symbol, photo.cardGame,
                                                           photo.number, photo.level));
            continue;
        }
        scenes.push_back({photo.number, photo.scene, photo.sound});
        m_pictures.push_back(std::make_unique<Picture>(this, photo.package, photo.symbol, photo.number, photo.level));
    }
    if (m_subGames) {
        m_subGames->AddBoards(this, scenes);
        m_madeBoards = true;
    }
}

void Book::SetPageFrames(int32_t left)
{
    LayoutChild(u"pageLeft").SetFrame(left);
    LayoutChild(u"pageRight").SetFrame(left + 1);
}

// --- the album scene ---

void Book::OnLoad(const InstanceHandle& handle)
{
    if (NameOf(handle) != kSceneName)
        return;
    m_bookScene = handle;
    if (UserInterface* ui = UserInterface::Instance())
        ui->AddGlobalHandler(handle);
    m_whitePlane = BookArt::Child(handle, u"whitePlane");
    BookArt::Child(handle, u"mainMenuButton").SetEventHandler(this);

    const InstanceHandle layout = GetPageLayout();
    if (Instance_Movie* movie = HandleEx::ResolveMovie(layout))
        movie->SetPlaying(false);
    const Profile* profile = CurrentProfile();
    const int32_t page = profile ? static_cast<int32_t>(profile->page) : 0;
    // A saved album opens where its player left it: that page counts as reached, or the corner
    // would never blink for a resumed chapter that is done.
    if (profile && profile->page > m_highestPage)
        m_highestPage = profile->page;
    for (const char16_t* name : {u"pageLeft", u"pageRight", u"pageFar", u"pageNear"}) {
        if (Instance_Movie* movie = HandleEx::ResolveMovie(LayoutChild(name)))
            movie->SetPlaying(false);
    }
    LayoutChild(u"pageFar").SetInputEnabled(false);
    LayoutChild(u"pageNear").SetInputEnabled(false);
    SetPageFrames(page);
    LayoutChild(u"pageNear").SetFrame(page);
    LayoutChild(u"pageFar").SetFrame(page + 1);
    BindPage(LayoutChild(u"pageLeft"));
    BindPage(LayoutChild(u"pageRight"));

    for (const char16_t* clear : {u"clearNear", u"clearFar"})
        LayoutChild(clear).SetOpacity(0);
    for (const char16_t* mask : {u"maskNear", u"maskFar", u"maskShadowFar", u"maskShadowNear"})
        BookArt::SetMaterial(LayoutChild(mask), kMaskLayer);
    for (const char16_t* masked : {u"pageNear", u"pageFar", u"shadowFar"})
        BookArt::SetMaterial(LayoutChild(masked), kMaskedAlpha);
    for (const char16_t* clearing : {u"clearNear", u"clearFar", u"shadowNear"})
        BookArt::SetMaterial(LayoutChild(clearing), kMaskedAlphaClear);

    m_nextControl = std::make_unique<PageTurner>(this, LayoutChild(u"rightControl"), 1.0f);
    m_prevControl = std::make_unique<PageTurner>(this, LayoutChild(u"leftControl"), -1.0f);
    UpdatePageControls();

    BookArt::Child(handle, u"crisisSplash").SetVisible(false);
    for (const char16_t* name : {u"pageLeft", u"pageRight", u"pageNear", u"pageFar"})
        LayoutChild(name).SetEventHandler(this);
    m_debugRotation = 0.0f;
    SetState(State_FadeIn);
    SetActive(true);
}

void Book::SetUpPages()
{
    const Profile* profile = CurrentProfile();
    SetPageFrames(profile ? static_cast<int32_t>(profile->page) : 0);
    BindPage(LayoutChild(u"pageLeft"));
    BindPage(LayoutChild(u"pageRight"));
    const LevelRecord* level = CurrentLevel();
    BookArt::Child(m_bookScene, u"crisisSplash").SetVisible(level && level->crisis);
    UpdatePageControls();
}

void Book::BindPage(const InstanceHandle& page)
{
    const LevelRecord* level = CurrentLevel();
    if (level) {
        for (const auto& picture : m_pictures) {
            if (picture->LevelNumber() == level->number)
                picture->BindToPage(page);
        }
    }
    FillPageTexts(page);
    // A photo bound here may have been bound to another page before: each page is judged again.
    ShowPhotoHints();
}

void Book::ShowPhotoHints()
{
    for (const char16_t* page : {u"pageLeft", u"pageRight", u"pageNear", u"pageFar"})
        ShowPhotoHint(LayoutChild(page));
}

void Book::ShowPhotoHint(const InstanceHandle& page)
{
    const InstanceHandle hint = BookArt::Child(page, u"hint");
    if (!BookArt::Valid(hint))
        return;
    // Only the current chapter's photos are bound to take a click; another's keep their state.
    const LevelRecord* level = CurrentLevel();
    const auto takesClick = [&](const auto& picture) {
        return picture->LevelNumber() == level->number && !picture->IsMiniGame() &&
               picture->GetState() == Picture::State_Open &&
               BookArt::Child(page, picture->Symbol()) == picture->Movie();
    };
    const bool clickable = level && std::any_of(m_pictures.begin(), m_pictures.end(), takesClick);
    hint.SetVisible(clickable);
}

void Book::FillPageTexts(const InstanceHandle& page)
{
    const Profile* profile = CurrentProfile();
    if (!profile)
        return;
    const String dear = Format(u"Dear %s,", {profile->name});
    BookArt::SetText(BookArt::Child(page, u"textPlayerName"), dear);
    if (const LevelRecord* level = profile->CurrentLevel()) {
        BookArt::SetText(BookArt::Child(page, u"textItemsLevel"),
                         Format(u"%d", {std::max(0, level->maxItems - level->items)}));
        // A penalty past the end of the clock leaves no time, not a negative one.
        const int32_t seconds = std::max(0, static_cast<int32_t>(level->timeLeft));
        BookArt::SetText(BookArt::Child(page, u"textTimeLevel"), Format(u"%d:%02d", {seconds / 60, seconds % 60}));
    }
    const InstanceHandle bluebirds = BookArt::Child(page, u"textBluebirds");
    BookArt::SetText(bluebirds, Format(u"%d", {profile->bluebirds}));
    m_bluebirdsRollover.SetInputEnabled(BookArt::Valid(bluebirds));

    const InstanceHandle envelope = BookArt::Child(page, u"envelope");
    const InstanceHandle letter = BookArt::Child(page, u"introLetter");
    const InstanceHandle play = BookArt::Child(page, u"introPlayButton");
    if (!profile->introSeen) {
        envelope.SetFrame(0);
        letter.SetVisible(true);
        BookArt::SetText(BookArt::Child(letter, u"textPlayerName"), dear);
        play.SetVisible(true);
        play.SetEventHandler(this);
    } else {
        envelope.SetFrame(1);
        letter.SetVisible(false);
        play.SetVisible(false);
    }
    if (BookArt::Visible(letter) && !m_introSparkle.IsValid())
        MakeSparkles(letter, true);
    ShowTableauxItems(BookArt::Child(page, u"tableaux"), true);
}

void Book::MakeSparkles(const InstanceHandle& along, bool keepFirst)
{
    Instance_Base* instance = along.Resolve();
    UserInterface* ui = UserInterface::Instance();
    Instance_Movie* root = ui ? ui->GetRoot() : nullptr;
    if (!instance || !root)
        return;
    float x = instance->GetX(), y = instance->GetY();
    if (Instance_Base* parent = instance->GetParent().Resolve())
        parent->LocalToGlobal(x, y);
    float width = 0, height = 0;
    instance->GetSize(width, height);
    for (int32_t i = 0; i < kSparkles; ++i) {
        const EmitterHandle emitter = root->CreateParticleEmitter(
            u"sparkle.xml", u"sparkle", static_cast<int32_t>(x + i * width / kSparkles), static_cast<int32_t>(y));
        if (keepFirst && i == 0)
            m_introSparkle = emitter;
    }
}

void Book::ShowTableauxItems(const InstanceHandle& movie, bool onlyIfSeen)
{
    const Profile* profile = CurrentProfile();
    if (!profile || (onlyIfSeen && !profile->tableauxSeen)) {
        movie.SetVisible(false);
        return;
    }
    movie.SetVisible(true);
    BookArt::Child(movie, u"flowers").SetFrame(profile->bouquet);
    BookArt::Child(movie, u"cakes").SetFrame(profile->cake);
    BookArt::Child(movie, u"dresses").SetFrame(profile->gown);
    const InstanceHandle gifts = BookArt::Child(movie, u"gifts");
    if (profile->bluebirds < Tableaux::kGiftBluebirds)
        gifts.SetVisible(false);
    else
        gifts.SetFrame(profile->gift);
    for (const char16_t* item : {u"flowers", u"cakes", u"dresses", u"gifts"})
        BookArt::Child(BookArt::Child(movie, item), u"glow").SetVisible(false);
}

void Book::UpdatePageControls()
{
    const Profile* profile = CurrentProfile();
    ProfileMgr* profiles = ProfileMgr::Instance();
    if (!profile || !profiles || !m_nextControl || !m_prevControl)
        return;
    const int32_t n = profile->CurrentLevelNumber();
    m_prevControl->SetEnabled(n >= 1);
    if (n + 1 >= static_cast<int32_t>(profiles->LevelTemplateCount())) {
        m_nextControl->SetEnabled(false);
        return;
    }
    m_nextControl->SetEnabled(profile->IsDone(n) || profile->bookUnlocked);
}

// --- page turns ---

bool Book::CanTurn(int32_t direction) const
{
    const Profile* profile = CurrentProfile();
    return !m_turning && !(direction < 0 && (!profile || profile->page < 2));
}

void Book::OnPageTurnStart(int32_t direction)
{
    m_turning = true;
    for (PageTurner* control : {m_nextControl.get(), m_prevControl.get()}) {
        if (control)
            control->SetEnabled(false);
    }
    Profile* profile = CurrentProfile();
    if (const LevelRecord* level = CurrentLevel(); level && level->crisis)
        BookArt::Child(m_bookScene, u"crisisSplash").SetVisible(false);
    if (profile) {
        profile->page = static_cast<uint32_t>(static_cast<int32_t>(profile->page) + 2 * direction);
        if (profile->page > m_highestPage)
            m_highestPage = profile->page;
    }
    EndWeddingMarch();
}

void Book::EndWeddingMarch()
{
    if (m_marchChannel.handle.IsEmpty())
        return;
    // The march may have ended by itself; the paused background music comes back either way.
    m_marchChannel.Stop();
    m_marchChannel = {};
    if (m_services)
        m_services->CurrentMusic().Resume();
}

void Book::OnPageTurnEnd()
{
    m_turning = false;
    Profile* profile = CurrentProfile();
    LevelRecord* level = CurrentLevel();
    if (level && level->crisis) {
        BookArt::Child(m_bookScene, u"crisisSplash").SetVisible(true);
        if (!level->crisisSound) {
            BookArt::PlayEffect(u"CrisisAlert");
            level->crisisSound = true;
        }
    } else if (level && level->number == kTableauxLevel && profile && !profile->tableauxSeen) {
        SetState(State_TableauxDisplay);
    } else if (level && (level->number == 6 || level->number == 12)) {
        if (ProfileMgr* profiles = ProfileMgr::Instance())
            profiles->OpenNextLevel();
    }
    UpdatePageControls();
    if (profile && profile->tutorial.Get(TutorialFlags::LevelBegun)) {
        if (IScreenHost* screens = ScreensOf(m_services))
            screens->Show(u"Book_TutorialDialog", true);
        profile->tutorial.Set(TutorialFlags::LevelBegun, false);
    }
}

void Book::CheckAutoTurn()
{
    Profile* profile = CurrentProfile();
    if (!profile || !m_nextControl)
        return;
    const int32_t n = profile->CurrentLevelNumber();
    LevelRecord* next = profile->FindLevel(n + 1);
    if (!next || n == 6 || n == 12 || n == 18 || !profile->IsDone(n) || profile->page < 2 || !next->firstTimeSeen)
        return;
    next->firstTimeSeen = false;
    m_nextControl->Begin();
}

// --- input ---

void Book::OnFrameChanged(const InstanceHandle& handle)
{
    if (NameOf(handle) != kSceneName)
        BindPage(handle);
}

void Book::OnKeyDown(const InstanceHandle&, uint32_t key)
{
    // A developer's tool only: a player's arrow keys must not tilt the album (its clicks would
    // then miss the photos).
    if (!m_debugKeys || (key != kKeyLeft && key != kKeyRight))
        return;
    m_debugRotation += key == kKeyLeft ? -kDebugRotationStep : kDebugRotationStep;
    for (const InstanceHandle& target :
         {GetPageLayout(), LayoutChild(u"pageRight"), BookArt::Child(m_bookScene, u"foobarbaz")}) {
        if (BookArt::Valid(target)) {
            target.SetRotation(m_debugRotation);
            return;
        }
    }
}

void Book::OnMouseDown(const InstanceHandle& handle, bool)
{
    if (GetState() != State_Browsing)
        return;
    const String name = NameOf(handle);
    if (name == u"introPlayButton" || name == u"mainMenuButton")
        handle.SetFrame(2);
}

void Book::OnMouseEnter(const InstanceHandle& handle)
{
    const String name = NameOf(handle);
    if (name == u"introPlayButton" || name == u"mainMenuButton")
        handle.SetFrame(1);
    else if (name == u"bluebirdsRollover")
        BookArt::PlayEffect(u"BluebirdFound");
}

void Book::OnMouseLeave(const InstanceHandle& handle)
{
    const String name = NameOf(handle);
    if (name == u"introPlayButton" || name == u"mainMenuButton")
        handle.SetFrame(0);
}

void Book::OnMouseUp(const InstanceHandle& handle, bool)
{
    if (GetState() != State_Browsing)
        return;
    const String name = NameOf(handle);
    if (name == u"introPlayButton") {
        SetState(State_IntroAnimation);
    } else if (name == u"mainMenuButton") {
        IScreenHost* screens = ScreensOf(m_services);
        if (screens && !screens->IsOpen(u"MainMenuDialog")) {
            BookArt::PlayEffect(u"Click");
            screens->Open(std::make_unique<UIMainMenuDialog>(*screens));
        }
    }
}

void Book::OnTimelineStop(const InstanceHandle& handle)
{
    if (NameOf(handle) == u"letterAnimation")
        SetState(State_Browsing);
}

void Book::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.empty())
        return;
    if (EqualsNoCase(arguments[0], u"book.debugKeys")) {
        m_debugKeys = !m_debugKeys;
        return;
    }
    if (!EqualsNoCase(arguments[0], u"book.winLevel"))
        return;
    LevelRecord* level = CurrentLevel();
    Profile* profile = CurrentProfile();
    if (!level || !profile)
        return;
    level->items += std::max(0, level->maxItems - level->items) + 1;
    profile->CompleteScene();
    SetState(State_LevelWon);
}
