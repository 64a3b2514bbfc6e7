#pragma once
// The options screen "OptionsDialog": hands the current settings to its script (full screen,
// software drawing, relaxed mode and the three volumes), applies volume changes at once while it
// is open, and on closing either applies everything or puts the volumes back as it found them.

#include "game/screens/UIScreen.h"

class UIOptionsDialog : public UIScreen {
public:
    UIOptionsDialog(IScreenHost& host, QuillEngine::String name, bool modal);

    void Init() override;
    void Update() override;
    void Close(bool save) override;

private:
    // The volumes of the script table into the current profile and the audio classes.
    void TakeVolumes();
    static void ApplyVolumes(double music, double effects, double ambient);

    double m_music = 0;
    double m_effects = 0;
    double m_ambient = 0;
};
