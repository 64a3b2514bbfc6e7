#include "game/screens/UICheckBox.h"

#include "engine/core/audio/Audio.h"
#include "engine/graphics/scene/Instance_Movie.h"

using namespace QuillEngine;

UICheckBox::UICheckBox(ICheckBoxOwner* owner, const InstanceHandle& instance) : m_instance(instance), m_owner(owner)
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_instance)) {
        movie->SetEventHandler(this);
        movie->SetPlaying(false);
    }
    ShowState();
}

UICheckBox::~UICheckBox()
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_instance))
        if (movie->GetEventHandler() == this)
            movie->SetEventHandler(nullptr);
}

void UICheckBox::SetChecked(bool checked)
{
    m_checked = checked;
    ShowState();
}

void UICheckBox::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    ShowState();
}

void UICheckBox::ShowState()
{
    Instance_Movie* movie = HandleEx::ResolveMovie(m_instance);
    if (!movie)
        return;
    const char16_t* label = m_enabled ? (m_checked ? u"Checked" : u"Unchecked") : (m_checked ? u"dcheck" : u"dunchecked");
    movie->SetFrameFromLabel(label);
    movie->SetPlaying(false);
}

void UICheckBox::GoTo(int32_t frame)
{
    if (Instance_Movie* movie = HandleEx::ResolveMovie(m_instance)) {
        movie->SetFrame(frame);
        movie->SetPlaying(false);
    }
}

void UICheckBox::OnMouseDown(const InstanceHandle&, bool)
{
    GoTo(2);
}

void UICheckBox::OnMouseUp(const InstanceHandle&, bool)
{
    if (!m_enabled)
        return;
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(u"Click", false);
    GoTo(1);
    if (m_owner)
        m_owner->ChoiceMade(*this);
}

void UICheckBox::OnMouseUpOutside(const InstanceHandle&, bool)
{
    GoTo(0);
}

void UICheckBox::OnMouseEnter(const InstanceHandle&)
{
    if (m_enabled)
        GoTo(1);
}

void UICheckBox::OnMouseLeave(const InstanceHandle&)
{
    if (m_enabled)
        GoTo(0);
}
