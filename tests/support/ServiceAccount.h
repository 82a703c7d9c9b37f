#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// While it exists, file-system checks are made as nobody when the tests run as root (root may
// create files anywhere), so that a read-only folder really is one.
class ServiceAccount
{
public:
    ServiceAccount()
    {
        if (m_root)
            setfsuid(65534);
    }
    ~ServiceAccount()
    {
        if (m_root)
            setfsuid(0);
    }
    ServiceAccount(const ServiceAccount &) = delete;
    ServiceAccount &operator=(const ServiceAccount &) = delete;

private:
    const bool m_root = geteuid() == 0;
};
