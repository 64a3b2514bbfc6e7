#pragma once
// One page-turn control of the album ("rightControl" turns forward, "leftControl" back). A click
// folds a page across the spread with the page, mask and shadow pictures of "pageLayout",
// switches the static pages when the fold passes the spine and tells the book when the turn starts
// and ends. Between turns the control blinks when the book wants the player to turn on.

#include <cstdint>

#include "engine/graphics/scene/InstanceTree.h"

class IAlbum;

class PageTurner : public QuillEngine::IInstanceEventHandler {
public:
    static constexpr float kSpineX = 342.0f;
    static constexpr float kFoldY = 528.0f;
    static constexpr float kFoldStep = 3.5f;
    static constexpr float kBlinkStep = 0.09f;
    static constexpr float kDegrees = 0.017453277f;

    PageTurner(IAlbum* book, const QuillEngine::InstanceHandle& control, float direction);
    ~PageTurner() override;
    PageTurner(const PageTurner&) = delete;
    PageTurner& operator=(const PageTurner&) = delete;

    void SetEnabled(bool on);
    // Starts a turn; nothing while the book is turning a page already.
    void Begin();
    // One tick: the fold moves on, and the control blinks when `hint` is set.
    void Update(bool hint);
    // Places the fold pictures for a fold at x (clamped to the half of the spread being turned).
    void SetFold(float x);

    bool IsTurning() const { return m_turning; }
    float Fold() const { return m_fold; }
    float Direction() const { return m_direction; }
    const QuillEngine::InstanceHandle& Control() const { return m_control; }

    bool ConsumesMouse(const QuillEngine::InstanceHandle&) override { return true; }
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseUp(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    using QuillEngine::IInstanceEventHandler::OnUpdate;

private:
    void SwapStaticPages();
    void Finish();

    bool m_turning = false;
    bool m_hovered = false;
    bool m_soundPending = false;
    QuillEngine::InstanceHandle m_control;
    IAlbum* m_book;
    QuillEngine::InstanceHandle m_pageNear, m_maskNear, m_pageFar, m_maskFar, m_shadowFar, m_maskShadowFar,
        m_shadowNear, m_maskShadowNear;
    float m_fold = 0.0f;
    float m_direction;
    float m_spineX = kSpineX;
    float m_edgeX;
    float m_blinkPhase = 0.0f;
    bool m_midDone = false;
};
