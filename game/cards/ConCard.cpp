#include "game/cards/ConCard.h"

#include <algorithm>

#include "engine/core/audio/Audio.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

void PlayEffect(const char16_t* name)
{
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(name, false);
}

bool Resolves(const InstanceHandle& handle)
{
    return HandleEx::ResolveInstance(handle) != nullptr;
}

} // namespace

ConCard::ConCard(const ConCardDef* definition, ICardTable* board) : m_board(board)
{
    if (definition) {
        m_kind = definition->kind;
        m_frame = static_cast<int32_t>(definition->frame);
    }
}

ConCard::~ConCard()
{
    for (const InstanceHandle* handle : {&m_face, &m_back, &m_highlight}) {
        if (Resolves(*handle))
            handle->Delete(true);
    }
}

void ConCard::Bind(const InstanceHandle& boardInstance, float x, float y, float width, float height)
{
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    const int32_t number = s_cardCounter++;
    m_face = boardInstance.CreateChild(u"ConCard", Format(u"card%d", {number}));
    m_back = boardInstance.CreateChild(u"ConCardBack", Format(u"cardback%d", {number}));
    m_highlight = boardInstance.CreateChild(u"ConCardBack_Hi", Format(u"cardbackhigh%d", {number}));
    for (const InstanceHandle* handle : {&m_face, &m_back, &m_highlight}) {
        handle->SetEventHandler(this);
        handle->SetVisible(false);
    }
    m_face.SetPlaying(false);
    m_face.SetFrame(m_frame);
}

void ConCard::OnLoad(const InstanceHandle& handle)
{
    const Instance_Base* instance = HandleEx::ResolveInstance(handle);
    if (!instance)
        return;
    const String definition = instance->GetDefinitionName();
    if (definition == u"ConCard")
        m_face = handle;
    else if (definition == u"ConCardBack")
        m_back = handle;
    else if (definition == u"ConCardBack_Hi")
        m_highlight = handle;
    if (GetState() == State_Constructed && Resolves(m_face) && Resolves(m_back) && Resolves(m_highlight))
        SetState(State_Appear);
}

void ConCard::Save(XmlNode& parent) const
{
    XmlNode* element = parent.AddChild(u"card");
    element->SetAttribute(u"state", Format(u"%d", {GetState()}));
    element->SetAttribute(u"type", Format(u"%d", {m_kind}));
    element->SetAttribute(u"frame", Format(u"%d", {m_frame}));
    element->SetAttribute(u"x", Format(u"%f", {m_x}));
    element->SetAttribute(u"y", Format(u"%f", {m_y}));
    element->SetAttribute(u"xsize", Format(u"%f", {m_width}));
    element->SetAttribute(u"ysize", Format(u"%f", {m_height}));
}

bool ConCard::Load(const XmlNode& element)
{
    String state, kind, frame, x, y, width, height;
    if (!element.GetAttribute(u"state", state) || !element.GetAttribute(u"type", kind) ||
        !element.GetAttribute(u"frame", frame) || !element.GetAttribute(u"x", x) || !element.GetAttribute(u"y", y) ||
        !element.GetAttribute(u"xsize", width) || !element.GetAttribute(u"ysize", height))
        return false;
    m_kind = ToInt(kind);
    m_frame = ToInt(frame);
    m_x = ToFloat(x);
    m_y = ToFloat(y);
    m_width = ToFloat(width);
    m_height = ToFloat(height);
    m_nextState = ToInt(state);
    // A card that had not appeared yet, or a state no card has, starts face down.
    if (m_nextState < State_FaceDown || m_nextState > State_MatchedByJoker)
        m_nextState = State_FaceDown;
    if (m_nextState == State_FaceUp && m_board && !m_board->FirstFaceUp())
        m_board->SetFirstFaceUp(this);
    return true;
}

void ConCard::FlipScale(double seconds, float sx, float sy, float& outX, float& outY)
{
    const double t = std::clamp(seconds / kFlipSeconds, 0.0, 1.0);
    const double u = 1.0 - t;
    const double w0 = u * u * u * u, w1 = 4 * t * u * u * u, w2 = 6 * t * t * u * u, w3 = 4 * t * t * t * u,
                 w4 = t * t * t * t;
    const double kx[5] = {sx, 0.0, -0.3, 0.0, sx};
    const double ky[5] = {sy, 1.1 * sy, 1.1 * sy, 1.1 * sy, sy};
    outX = static_cast<float>(w0 * kx[0] + w1 * kx[1] + w2 * kx[2] + w3 * kx[3] + w4 * kx[4]);
    outY = static_cast<float>(w0 * ky[0] + w1 * ky[1] + w2 * ky[2] + w3 * ky[3] + w4 * ky[4]);
}

// --- clicks and the pointer ---

void ConCard::OnMouseDown(const InstanceHandle&, bool)
{
    Click();
}

void ConCard::Click()
{
    if (!m_board || !m_board->IsVisible())
        return;
    if (m_board->AwaitsFirstMove())
        m_board->Begin();
    if (m_board->IsBlocked())
        return;
    if (GetState() == State_FaceDown) {
        if (!m_board->FirstFaceUp())
            m_board->SetFirstFaceUp(this);
        else
            m_board->SetBlocked(true);
        SetState(State_TurningUp);
    } else if (GetState() == State_FaceUp && m_board->FirstFaceUp() == this) {
        m_board->SetFirstFaceUp(nullptr);
        m_board->SetBlocked(false);
        SetState(State_TurningDown);
    }
}

void ConCard::OnMouseEnter(const InstanceHandle&)
{
    if (GetState() == State_FaceDown)
        m_highlight.SetVisible(true);
}

void ConCard::OnMouseLeave(const InstanceHandle&)
{
    m_highlight.SetVisible(false);
}

// --- states ---

void ConCard::OnEnter(int32_t state)
{
    switch (state) {
    case State_Appear:
        EnterAppear();
        break;
    case State_FaceDown:
        m_back.SetVisible(true);
        m_face.SetVisible(false);
        break;
    case State_TurningUp:
    case State_TurningDown:
        PlayEffect(u"MatchFlip");
        m_flipSteps = 0;
        break;
    case State_FaceUp:
        m_face.SetVisible(true);
        m_back.SetVisible(false);
        m_faceUpSteps = kFaceUpSteps;
        break;
    case State_Matched:
        EnterMatched();
        break;
    case State_Gone:
        EnterGone();
        break;
    case State_MatchedByJoker:
        m_face.SetVisible(true);
        m_back.SetVisible(false);
        break;
    default:
        break;
    }
}

void ConCard::OnExit(int32_t state)
{
    if (state == State_FaceDown)
        m_highlight.SetVisible(false);
}

void ConCard::OnUpdate(int32_t state)
{
    switch (state) {
    case State_TurningUp:
        StepFlip(true);
        break;
    case State_TurningDown:
        StepFlip(false);
        break;
    case State_FaceUp:
        StepFaceUp();
        break;
    case State_Matched:
        if (--m_countdown <= 0)
            SetState(State_Gone);
        break;
    case State_MatchedByJoker:
        StepJoker();
        break;
    default:
        break;
    }
}

void ConCard::EnterAppear()
{
    m_x += m_width * 0.5f;
    m_y += m_height * 0.5f;
    float faceWidth = 0, faceHeight = 0;
    if (Instance_Base* face = HandleEx::ResolveInstance(m_face))
        face->GetSize(faceWidth, faceHeight);
    m_baseX = faceWidth > 0 ? m_width / faceWidth : 1.0f;
    m_baseY = faceHeight > 0 ? m_height / faceHeight : 1.0f;
    for (const InstanceHandle* handle : {&m_face, &m_back, &m_highlight}) {
        handle->SetPosition(m_x, m_y);
        handle->SetScale(m_baseX, m_baseY);
    }
    SetState(m_nextState);
}

void ConCard::StepFlip(bool up)
{
    ++m_flipSteps;
    const double elapsed = m_flipSteps * kStepSeconds;
    if (elapsed >= kFlipSeconds) {
        m_face.SetScale(m_baseX, m_baseY);
        m_back.SetScale(m_baseX, m_baseY);
        SetState(up ? State_FaceUp : State_FaceDown);
        return;
    }
    float sx = 0, sy = 0;
    FlipScale(elapsed, m_baseX, m_baseY, sx, sy);
    // The face shows on the second half of a flip up and the first half of a flip down.
    const bool faceShown = (elapsed > kHalfFlipSeconds) == up;
    const InstanceHandle& shown = faceShown ? m_face : m_back;
    const InstanceHandle& hidden = faceShown ? m_back : m_face;
    shown.SetVisible(true);
    shown.SetScale(sx, sy);
    hidden.SetVisible(false);
}

void ConCard::StepFaceUp()
{
    if (--m_faceUpSteps > 0 || !m_board)
        return;
    ConCard* first = m_board->FirstFaceUp();
    if (!first || first == this || first->GetState() != State_FaceUp)
        return;
    if (m_board->CheckMatch(this, first))
        return;
    first->SetState(State_TurningDown);
    m_board->SetBlocked(false);
    m_board->SetFirstFaceUp(nullptr);
    SetState(State_TurningDown);
}

void ConCard::EnterMatched()
{
    UserInterface* ui = UserInterface::Instance();
    ParticleManager* particles = ParticleManager::Instance();
    if (ui && particles) {
        const InstanceHandle root = ui->GetRootHandle();
        EmitterHandle explode = particles->CreateAndAttach(u"explode", root);
        explode.SetPosition(m_x, m_y);
        EmitterHandle match = particles->CreateAndAttach(u"match", root);
        match.SetPosition(m_x, m_y);
        const ProfileMgr* profiles = ProfileMgr::Instance();
        const Profile* profile = profiles ? profiles->CurrentProfile() : nullptr;
        // The sparks fly to the prize shelf of the panel, one row further down per prize.
        match.SetTarget(75.0f, 160.0f + 55.0f * static_cast<float>(profile ? profile->honeymoonItems : 0));
    }
    m_face.SetVisible(false);
    m_face.SetInputEnabled(false);
    m_countdown = kMatchSteps;
}

void ConCard::EnterGone()
{
    m_face.SetVisible(false);
    m_back.SetVisible(false);
    m_highlight.SetVisible(false);
    if (m_board)
        m_board->CardGone(this);
}

void ConCard::StepJoker()
{
    if (!m_board)
        return;
    // A card restored in the middle of a joker match finds the card that was turning up for it;
    // cards matched or gone already are never taken.
    if (m_board->FirstFaceUp() != this && !m_partner) {
        for (const auto& card : m_board->Cards()) {
            const int32_t state = card->GetState();
            if (card.get() != this && (state == State_TurningUp || state == State_FaceUp)) {
                m_partner = card.get();
                break;
            }
        }
        if (!m_partner) {
            // Nothing left to wait for: this card leaves by itself rather than hold the board.
            m_board->SetBlocked(false);
            if (m_board->FirstFaceUp() == this)
                m_board->SetFirstFaceUp(nullptr);
            SetState(State_Matched);
            return;
        }
    }
    if (!m_partner)
        return;
    const int32_t partnerState = m_partner->GetState();
    if (partnerState == State_Matched || partnerState == State_Gone) {
        SetState(State_Matched);
        return;
    }
    if (partnerState != State_FaceUp)
        return;
    m_partner->SetState(State_Matched);
    ConCard* first = m_board->FirstFaceUp();
    if (first && first != this && first != m_partner)
        first->SetState(State_Matched);
    m_board->SetBlocked(false);
    m_board->SetFirstFaceUp(nullptr);
    SetState(State_Matched);
}
