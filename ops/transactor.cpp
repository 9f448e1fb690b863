#include "ops/transactor.h"

#include "link/device_link.h"

LinkReply CLinkTransactor::Transact(const LinkRequest& request) {
    return m_link.Transact(request);
}
