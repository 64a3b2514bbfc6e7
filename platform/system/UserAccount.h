#pragma once
// The account the program runs under, as the system's user database describes it.

#include <string>

namespace QuillPlatform {

struct UserAccount {
    // The comment (GECOS) field as stored: "Full Name,Room,Phone,..." or empty.
    std::string comment;
    std::string login;
};

// False when the running user has no entry in the user database (a container with an arbitrary
// uid, a broken name service); `out` is then left empty.
bool ReadCurrentUserAccount(UserAccount& out);

} // namespace QuillPlatform
