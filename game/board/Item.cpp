#include "game/board/Item.h"

#include <algorithm>

#include "engine/core/audio/Audio.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "game/feedback/FeedbackReporter.h"

using namespace QuillEngine;

void Item::Bind(const InstanceHandle& instance, int32_t sortKey)
{
    m_instance = instance;
    m_instance.SetEventHandler(this);
    Instance_Movie* movie = HandleEx::ResolveMovie(instance);
    if (!movie || !HandleEx::ResolveInstance(movie->GetChild(0)))
        return;
    ReadMask();
    m_sortKey = sortKey;
    SetState(State_Ready);
}

void Item::ReadMask()
{
    Instance_Movie* movie = HandleEx::ResolveMovie(m_instance);
    Instance_Image* image = movie ? HandleEx::ResolveImage(movie->GetChild(0)) : nullptr;
    if (!image)
        return;
    uint32_t width = 0, height = 0;
    std::unique_ptr<uint32_t[]> pixels = image->ReadPixels(width, height);
    if (pixels)
        SetMask(std::move(pixels), static_cast<int32_t>(width), static_cast<int32_t>(height));
}

void Item::SetMask(std::unique_ptr<uint32_t[]> mask, int32_t width, int32_t height)
{
    m_mask = std::move(mask);
    m_maskWidth = m_mask ? width : 0;
    m_maskHeight = m_mask ? height : 0;
}

void Item::SetName(const String& name)
{
    m_name = name;
    m_bluebird = name.find(u"Bluebird") != String::npos;
}

String Item::GetInstanceName() const
{
    const Instance_Base* instance = HandleEx::ResolveInstance(m_instance);
    return instance ? instance->GetName() : String();
}

bool Item::IsVisible() const
{
    const Instance_Base* instance = HandleEx::ResolveInstance(m_instance);
    return instance && instance->GetVisible();
}

bool Item::HasSolidPixel() const
{
    const int64_t count = int64_t(m_maskWidth) * m_maskHeight;
    for (int64_t i = 0; i < count; ++i)
        if ((m_mask[i] >> 24) > kAlphaThreshold)
            return true;
    return false;
}

bool Item::MaskHit(const uint32_t* mask, int32_t width, int32_t height, int32_t px, int32_t py)
{
    if (!mask || width <= 0 || height <= 0)
        return false;
    // Six by six pixels around the point, clipped at the mask's edges (empty when the point lies
    // outside). 64-bit so no point from far off the picture can wrap into it.
    const int64_t left = std::max<int64_t>(int64_t(px) - kWindowReach, 0);
    const int64_t right = std::min<int64_t>(int64_t(px) + kWindowReach, width);
    const int64_t top = std::max<int64_t>(int64_t(py) - kWindowReach, 0);
    const int64_t bottom = std::min<int64_t>(int64_t(py) + kWindowReach, height);
    for (int64_t row = top; row < bottom; ++row) {
        for (int64_t column = left; column < right; ++column) {
            if ((mask[row * width + column] >> 24) > kAlphaThreshold)
                return true;
        }
    }
    return false;
}

bool Item::HitTest(float x, float y) const
{
    // The mask is the first child's picture: the point is taken into that picture's own pixels.
    Instance_Movie* movie = HandleEx::ResolveMovie(m_instance);
    Instance_Base* picture = movie ? HandleEx::ResolveInstance(movie->GetChild(0)) : nullptr;
    if (!picture || !m_mask)
        return false;
    picture->GlobalToLocal(x, y);
    const float px = x + 0.5f, py = y + 0.5f;
    // Far outside the picture (or not a number): no hit, and nothing to convert.
    if (!(px > -1e6f && px < 1e6f && py > -1e6f && py < 1e6f))
        return false;
    return MaskHit(m_mask.get(), m_maskWidth, m_maskHeight, static_cast<int32_t>(px), static_cast<int32_t>(py));
}

uint8_t Item::MaskAlpha(const uint32_t* mask, int32_t width, int32_t height, float x, float y)
{
    // The comparisons also refuse a point that is not a number.
    if (!mask || !(x >= 0.0f && y >= 0.0f && x < float(width) && y < float(height)))
        return 0;
    return static_cast<uint8_t>(mask[size_t(y) * size_t(width) + size_t(x)] >> 24);
}

uint8_t Item::AlphaAt(float x, float y) const
{
    Instance_Movie* movie = HandleEx::ResolveMovie(m_instance);
    Instance_Base* picture = movie ? HandleEx::ResolveInstance(movie->GetChild(0)) : nullptr;
    if (!picture)
        return 0;
    picture->GlobalToLocal(x, y);
    return MaskAlpha(m_mask.get(), m_maskWidth, m_maskHeight, x, y);
}

void Item::OnFound()
{
    if (!m_bluebird) {
        if (Audio* audio = Audio::Instance())
            audio->PlaySound(u"FindItem", false);
    } else if (m_board) {
        m_board->OnBluebirdFound(GetInstanceName());
    }
    FeedbackReporter::ReportItemEvent("itemfound", m_name);
    m_active = false;
    SetState(State_Found);
}

void Item::Hide()
{
    m_bluebird = false;
    m_active = false;
    m_instance.SetVisible(false);
    SetState(State_Hidden);
}

void Item::StartSparkle()
{
    Instance_Movie* movie = HandleEx::ResolveMovie(m_instance);
    if (!movie)
        return;
    // The sparkle sits on the middle of the picture, wherever the movie's origin is.
    float left = 0, top = 0, right = 0, bottom = 0;
    movie->GetBounds(left, top, right, bottom);
    float x = (left + right) * 0.5f, y = (top + bottom) * 0.5f;
    movie->GlobalToLocal(x, y);
    movie->CreateParticleEmitter(u"sparkle.xml", u"sparkle", static_cast<int32_t>(x), static_cast<int32_t>(y));
}

void Item::OnEnter(int32_t state)
{
    if (state != State_Found)
        return;
    if (Instance_Base* instance = HandleEx::ResolveInstance(m_instance))
        instance->MoveToFront();
    StartSparkle();
}

void Item::OnUpdate(int32_t state)
{
    if (state == State_Found) {
        m_scale += kScaleStep;
        m_instance.SetScale(m_scale, m_scale);
        if (m_scale > m_maxScale)
            SetState(State_Shrinking);
    } else if (state == State_Shrinking) {
        m_scale -= kScaleStep;
        m_instance.SetScale(m_scale, m_scale);
        if (m_scale <= m_minScale) {
            m_instance.SetVisible(false);
            SetState(State_Hidden);
        }
    }
}

void Item::OnExit(int32_t state)
{
    // The scene is judged only once the item has finished its animation.
    if (state == State_Shrinking && m_board)
        m_board->CheckComplete();
}
