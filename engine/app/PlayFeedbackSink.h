#pragma once
// Test support, not a player feature: a feedback-client table that writes every report the game
// makes as one line of a text file, so a scripted play run can be checked afterwards.
//
// A line is the report's kind and then its arguments in the order the client receives them,
// separated by tabs; clocks are game seconds with three decimals, texts are UTF-8, a null text is
// empty:
//     teardown <name>                          (entry 4)
//     game <clock> <name>                      (entry 5)
//     closed <clock> <name> <value> <event>    (entry 6)
//     level <clock> <level> <kind>             (entry 7)
//     levelevent <clock> <level> <name> <value> <event>   (entry 8)
//     screen <clock> <screen>                  (entry 9)
//     item|itemalt|count <clock> <key> <event> <value> <end>   (entries 13, 14, 16)
//     params <key>=<value> ...                 (entry 22)
//     entry<n>                                 (the entries the game never calls)
// Each line is flushed as it is written, so a run that dies still leaves what it reported.

#include <string>

namespace QuillEngine {

class PlayFeedbackSink {
public:
    // Opens (truncates) `path` and routes every report there. False when the file cannot be made.
    static bool Open(const std::string& path);
    // Back to the client's table; closes the file.
    static void Close();
    static bool IsOpen();
};

} // namespace QuillEngine
