#include "platform/system/UserAccount.h"

#include <cerrno>
#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace QuillPlatform {

bool ReadCurrentUserAccount(UserAccount& out)
{
    out = UserAccount{};
    const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    // The entry's strings live in the caller's buffer; grow it while the lookup says it is short.
    for (size_t size = hint > 0 ? static_cast<size_t>(hint) : 4096; size <= (1u << 20); size *= 2) {
        std::unique_ptr<char[]> buffer(new char[size]);
        passwd entry{};
        passwd* found = nullptr;
        const int rc = getpwuid_r(getuid(), &entry, buffer.get(), size, &found);
        if (rc == ERANGE)
            continue;
        if (rc != 0 || !found)
            return false;
        out.comment = found->pw_gecos ? found->pw_gecos : "";
        out.login = found->pw_name ? found->pw_name : "";
        return true;
    }
    return false;
}

} // namespace QuillPlatform
