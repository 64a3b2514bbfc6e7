#pragma once
// "Menu_ProfileDialog": six rows of profiles ("profile1".."profile6", each with a text child
// "profileName"); the player picks one, types a new name into an empty row, or asks to delete
// one. While a row is being edited the keyboard is the name's: letters, digits and spaces type at
// the cursor as the key's text gives them, up to kMaxNameLength characters in all; the arrows and
// Backspace move and erase.

#include "game/screens/UIScreen.h"

class UIMenuProfileDialog : public UIScreen {
public:
    static constexpr int32_t kRows = 6;
    // The longest name, spaces included: the longest the player list's rows and the album's letter
    // hold in the widest letters.
    static constexpr int32_t kMaxNameLength = 15;

    explicit UIMenuProfileDialog(IScreenHost& host);

    void Init() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;
    void OnKeyDown(const QuillEngine::InstanceHandle& handle, uint32_t key) override;
    void OnChar(const QuillEngine::InstanceHandle& handle, uint32_t character) override;
    bool TakesKeyboard() const override { return !m_notEditing; }

    int32_t SelectedRow() const { return m_selected; }
    bool Editing() const { return !m_notEditing; }
    const QuillEngine::String& EnteredName() const { return m_entered; }
    int32_t Cursor() const { return m_cursor; }

private:
    QuillEngine::InstanceHandle RowText(int32_t row) const; // row from 0
    void RefreshSelection();
    void ShowEntered();
    // Marks `chosen` (from 0) as the player to play; the other rows in the list's own colour.
    void MarkChosen(int32_t chosen);
    // Shows the name and moves the text cursor after the `m_cursor` first characters.
    void ShowEnteredAndCursor();

    int32_t m_selected = 0;
    bool m_notEditing = true;
    QuillEngine::String m_entered;
    int32_t m_cursor = 0;
    QuillEngine::InstanceHandle m_selectedText;
    QuillEngine::String m_selectedName;
    int32_t m_openingRow = 0;
    uint32_t m_rowColour = 0;
};

// "Menu_ConfirmDeleteDialog": asks before a profile is deleted.
class UIMenuConfirmDeleteDialog : public UIScreen {
public:
    UIMenuConfirmDeleteDialog(IScreenHost& host, QuillEngine::String profileName);
    void Init() override;

private:
    QuillEngine::String m_profileName;
};
