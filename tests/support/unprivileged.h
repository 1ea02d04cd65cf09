#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornik::testing {

struct Account {
    uid_t uid;
    gid_t gid;
};

// The account "nobody", which holds no files and no privileges.
inline Account unprivilegedAccount()
{
    const passwd* account = ::getpwnam("nobody");
    return account != nullptr ? Account{account->pw_uid, account->pw_gid} : Account{65534, 65534};
}

// Under root, makes the unprivileged account the owner of path, so that a
// body run by runUnprivileged may work there; otherwise does nothing.
inline bool handToUnprivileged(const std::string& path)
{
    const Account account = unprivilegedAccount();
    return ::geteuid() != 0 || ::chown(path.c_str(), account.uid, account.gid) == 0;
}

// Runs body as an account without privileges, so that permission bits bind
// it as they bind every user. Under root, body runs in a forked child that
// first drops to the account "nobody" (no supplementary groups), and the
// child's failures, printed by the child itself, come back as its exit
// status: the call returns false when body failed there or the child could
// not drop its privileges. Otherwise body runs here, its failures are
// recorded directly, and the call returns true.
inline bool runUnprivileged(const std::function<void()>& body)
{
    if (::geteuid() != 0) {
        body();
        return true;
    }
    const Account account = unprivilegedAccount();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0 ||
            ::geteuid() == 0) {
            std::fprintf(stderr, "cannot drop to the unprivileged account\n");
            ::_exit(2);
        }
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace vornik::testing
