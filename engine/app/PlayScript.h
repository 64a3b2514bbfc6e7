#pragma once
// Test support, not a player feature: the input script of a scripted play run (see PlayHarness).
//
// One command a line, each at a fixed step (the number of fixed steps run before it happens):
//     at <step> move <x> <y>          the pointer moves to (x, y), picture coordinates
//     at <step> down <x> <y>          left button pressed at (x, y); "up" releases it
//     at <step> rdown <x> <y>         the same for the right button; "rup" releases it
//     at <step> key <name>            a key pressed and released ("Escape", "Return", "m", "F1")
//     at <step> console <line>        a console line runs (the rest of the line, as written)
//     at <step> shot <file.png>       the frame last drawn is written as a PNG
//     at <step> shown <file.png>      what the window shows, as the last present put it there
//                                     (software device only: the OpenGL one cannot read it back)
//     at <step> quit                  the program is asked to close, as the desktop would
//     at <step> terminate             the process gets SIGTERM, as from `kill` or a shutdown
//     at <step> wait <file>           the run holds still: <file> is created and the program waits,
//                                     its window showing the last frame, until someone removes it
//                                     (at most a minute); for tests that look at the real screen
//     at <step> live                  the run goes on as a player's from here: wall clock, sleeps
//                                     and the main loop's own drawing rules (for benchmarks that
//                                     measure the program at rest); the script's last command.
//                                     The program prints "live" on standard output then
// Blank lines and lines starting with '#' are ignored. Steps never go back. Any other line is
// refused with a message that names its number and repeats it.

#include <cstdint>
#include <string>
#include <vector>

namespace QuillEngine {

struct PlayCommand {
    enum class Kind { Move, Down, Up, RightDown, RightUp, Key, Console, Shot, Shown, Quit, Terminate, Wait, Live };
    uint64_t step = 0;
    Kind kind = Kind::Quit;
    int32_t x = 0, y = 0;
    std::string text; // key name, console line, shot or wait file
    int line = 0;     // 1-based line of the script
};

class PlayScript {
public:
    // Coordinates beyond this (either sign) are refused as typing errors.
    static constexpr int32_t kMaxCoordinate = 100000;

    // False with `error` naming `sourceName`, the line number and the line.
    bool Parse(const std::string& text, const std::string& sourceName, std::string& error);
    bool Load(const std::string& path, std::string& error);

    const std::vector<PlayCommand>& Commands() const { return commands_; }

private:
    std::vector<PlayCommand> commands_;
};

} // namespace QuillEngine
