#pragma once
// CHostTransactor: a dialog host as the transactor of a box operation, so a
// handler's operation goes through the host's Transact like its own steps.

#include "dialog/dialog_host.h"
#include "ops/transactor.h"

class CHostTransactor : public ITransactor {
public:
    explicit CHostTransactor(IDialogHost& host) : m_host(host) {}
    LinkReply Transact(const LinkRequest& request) override {
        return RunRawTransact(request, [this](auto... args) { return m_host.Transact(args...); });
    }

private:
    IDialogHost& m_host;
};
