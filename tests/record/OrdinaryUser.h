#pragma once

// Lets a test that runs as the superuser touch files the way an ordinary user
// does. The superuser may write into any folder and open any device, so a test
// of "this folder takes no files" or "this device may not be opened" would
// pass without testing anything. setfsuid/setfsgid change only the calling
// thread's file-system identity, and a non-zero one takes away the superuser's
// right to ignore file permissions; the identity comes back at the end of the
// scope. Run as an ordinary user already, nothing changes.

#ifdef __linux__
#include <pwd.h>
#include <sys/fsuid.h>
#include <unistd.h>

class OrdinaryUser {
public:
    OrdinaryUser() {
        if (geteuid() != 0)
            return;
        const passwd* nobody = getpwnam("nobody");
        setfsgid(nobody ? nobody->pw_gid : 65534);
        setfsuid(nobody ? nobody->pw_uid : 65534);
        active_ = true;
    }
    ~OrdinaryUser() {
        if (!active_)
            return;
        setfsuid(0);
        setfsgid(0);
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

private:
    bool active_ = false;
};
#endif
