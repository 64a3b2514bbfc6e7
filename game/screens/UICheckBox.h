#pragma once
// A two-state button over a movie instance, driven by its owner rather than by a script. The
// movie shows the frames labelled "Checked" / "Unchecked" while enabled and "dcheck" /
// "dunchecked" while disabled; frames 0, 1 and 2 are its normal, hover and pressed looks.

#include "engine/graphics/scene/InstanceTree.h"

class UICheckBox;

// Told when the player clicks an enabled box.
class ICheckBoxOwner {
public:
    virtual ~ICheckBoxOwner() = default;
    virtual void ChoiceMade(UICheckBox& box) = 0;
};

class UICheckBox : public QuillEngine::IInstanceEventHandler {
public:
    UICheckBox(ICheckBoxOwner* owner, const QuillEngine::InstanceHandle& instance);
    ~UICheckBox() override;
    UICheckBox(const UICheckBox&) = delete;
    UICheckBox& operator=(const UICheckBox&) = delete;

    bool IsChecked() const { return m_checked; }
    bool IsEnabled() const { return m_enabled; }
    void SetChecked(bool checked);
    void SetEnabled(bool enabled);
    const QuillEngine::InstanceHandle& Instance() const { return m_instance; }

    void OnMouseDown(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseUp(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseUpOutside(const QuillEngine::InstanceHandle& handle, bool notLeft) override;

private:
    void ShowState();
    void GoTo(int32_t frame);

    QuillEngine::InstanceHandle m_instance;
    ICheckBoxOwner* m_owner;
    bool m_checked = false;
    bool m_enabled = true;
};
