#include "ops/transactor.h"

#include "link/device_link.h"

LinkReply CLinkTransactor::Transact(const LinkRequest& request) {
    return RunRawTransact(request, [this](auto... args) { return m_link.Transact(args...); });
}
