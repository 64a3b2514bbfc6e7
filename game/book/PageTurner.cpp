#include "game/book/PageTurner.h"

#include <algorithm>
#include <cmath>

#include "engine/graphics/scene/Instance_Movie.h"
#include "game/book/Album.h"
#include "game/book/BookArt.h"

using namespace QuillEngine;

PageTurner::PageTurner(IAlbum* book, const InstanceHandle& control, float direction)
    : m_control(control), m_book(book), m_direction(direction), m_edgeX(direction * kSpineX + kSpineX)
{
    const InstanceHandle layout = book ? book->GetPageLayout() : InstanceHandle();
    m_pageNear = BookArt::Child(layout, u"pageNear");
    m_maskNear = BookArt::Child(layout, u"maskNear");
    m_pageFar = BookArt::Child(layout, u"pageFar");
    m_maskFar = BookArt::Child(layout, u"maskFar");
    m_shadowFar = BookArt::Child(layout, u"shadowFar");
    m_maskShadowFar = BookArt::Child(layout, u"maskShadowFar");
    m_shadowNear = BookArt::Child(layout, u"shadowNear");
    m_maskShadowNear = BookArt::Child(layout, u"maskShadowNear");
    control.SetEventHandler(this);
}

PageTurner::~PageTurner()
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_control)) {
        if (movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
    }
}

void PageTurner::SetEnabled(bool on)
{
    m_control.SetVisible(on);
    m_control.SetInputEnabled(on);
}

void PageTurner::Begin()
{
    if (!m_book || !m_book->CanTurn(static_cast<int32_t>(m_direction)))
        return;
    m_turning = true;
    m_book->OnPageTurnStart(static_cast<int32_t>(m_direction));
    m_fold = m_edgeX;
    for (const InstanceHandle* mirrored : {&m_maskNear, &m_maskFar, &m_shadowFar, &m_shadowNear, &m_maskShadowNear}) {
        if (Instance_Base* instance = mirrored->Resolve()) {
            float sx = 1, sy = 1;
            instance->GetScale(sx, sy);
            instance->SetScale(m_direction, sy);
        }
    }
    if (Instance_Base* near = m_pageNear.Resolve())
        near->SetX(m_direction > 0 ? kSpineX : 0.0f);
    const int32_t left = BookArt::Frame(BookArt::Child(m_book->GetPageLayout(), u"pageLeft"));
    const int32_t frame = left + 2 * static_cast<int32_t>(m_direction);
    if (m_direction > 0) {
        m_pageFar.SetFrame(frame);
        m_pageNear.SetFrame(frame + 1);
    } else {
        m_pageFar.SetFrame(frame + 1);
        m_pageNear.SetFrame(frame);
    }
    m_soundPending = true;
    m_midDone = false;
}

void PageTurner::Update(bool hint)
{
    m_blinkPhase += kBlinkStep;
    if (m_soundPending) {
        BookArt::PlayEffect(u"PageTurn");
        m_soundPending = false;
    }
    if (m_turning) {
        SetFold(m_fold);
        m_fold -= m_direction * kFoldStep;
        if (std::fabs(m_fold - m_spineX) < 5.0f && !m_midDone) {
            SwapStaticPages();
            m_midDone = true;
        }
        if ((m_direction > 0 && m_fold < m_spineX) || (m_direction < 0 && m_fold > m_spineX))
            Finish();
    }
    if (hint && !m_hovered)
        m_control.SetFrame(std::fabs(std::sin(m_blinkPhase)) > 0.5f ? 0 : 1);
}

void PageTurner::SetFold(float x)
{
    const bool forward = m_direction > 0;
    const float a = forward ? 2 * kSpineX : kSpineX;
    const float b = forward ? kSpineX : 0.0f;
    x = std::clamp(x, b, a);
    const float span = a - b;
    if (Instance_Base* control = m_control.Resolve())
        control->SetX(x);
    for (const InstanceHandle* fold : {&m_maskNear, &m_maskFar, &m_shadowFar, &m_shadowNear})
        fold->SetPosition(x, kFoldY);
    const float registration = forward ? a - x : kSpineX - (x - b);
    for (const InstanceHandle* page : {&m_pageFar, &m_maskShadowFar}) {
        BookArt::SetRegistrationX(*page, registration);
        page->SetPosition(x, kFoldY);
    }
    const float r = forward ? (x - b) / span : (a - x) / span;
    for (const InstanceHandle* fold : {&m_maskNear, &m_maskFar, &m_shadowFar, &m_shadowNear})
        fold->SetRotation(m_direction * 45.0f * r * kDegrees);
    for (const InstanceHandle* page : {&m_pageFar, &m_maskShadowFar})
        page->SetRotation(m_direction * 90.0f * r * kDegrees);
}

void PageTurner::SwapStaticPages()
{
    const InstanceHandle layout = m_book ? m_book->GetPageLayout() : InstanceHandle();
    const int32_t far = BookArt::Frame(m_pageFar);
    const int32_t near = BookArt::Frame(m_pageNear);
    BookArt::Child(layout, u"pageLeft").SetFrame(m_direction > 0 ? far : near);
    BookArt::Child(layout, u"pageRight").SetFrame(m_direction > 0 ? near : far);
}

void PageTurner::Finish()
{
    SetFold(m_edgeX);
    if (m_book)
        m_book->OnPageTurnEnd();
    m_turning = false;
    m_control.SetFrame(0);
}

void PageTurner::OnMouseEnter(const InstanceHandle&)
{
    m_hovered = true;
    m_control.SetFrame(1);
}

void PageTurner::OnMouseLeave(const InstanceHandle&)
{
    m_hovered = false;
    m_control.SetFrame(0);
}

void PageTurner::OnMouseUp(const InstanceHandle&, bool)
{
    Begin();
}
