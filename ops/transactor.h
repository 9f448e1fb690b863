#pragma once
// ITransactor: the one way an operation talks to the box. CLinkTransactor
// sends straight over a CDeviceLink; a host may add to it (an abort check, a
// record of failures) by implementing the interface itself.
//
// Threads: whatever thread runs the operation calls Transact.

#include "link/link_request.h"

class CDeviceLink;

class ITransactor {
public:
    virtual ~ITransactor() = default;
    virtual LinkReply Transact(const LinkRequest& request) = 0;
};

class CLinkTransactor : public ITransactor {
public:
    explicit CLinkTransactor(CDeviceLink& link) : m_link(link) {}
    LinkReply Transact(const LinkRequest& request) override;

private:
    CDeviceLink& m_link;
};
