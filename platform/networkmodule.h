#pragma once

// The HTTP transfers live in a module of their own, kelvo-network, which the
// program loads at its first request: Qt Network and the libraries it brings
// (Kerberos, proxy discovery, the resolver) would otherwise be loaded and
// linked before the window could show.

#include "platform/httptransfer.h"

#include <QStringList>

namespace kelvo {

// Makes transfer objects that share one network access manager, owned by the
// factory; a transfer may outlive it and then fails every request.
class TransferFactory {
public:
    virtual ~TransferFactory() = default;
    virtual std::unique_ptr<HttpTransfer> make() = 0;
};

// The module's one entry point: a new factory, owned by the caller.
using CreateTransferFactory = TransferFactory* (*)();
inline constexpr char kCreateTransferFactorySymbol[] = "kelvo_create_transfer_factory";

// Makes transfers that load the module, from the first of folders that holds
// it, at the first request of any of them, and then share its factory. Until
// it loads, every request fails as a refused connection would (the handler
// gets a failure from the event loop), and the next one tries again.
std::function<std::unique_ptr<HttpTransfer>()> moduleTransfers(QStringList folders);

} // namespace kelvo
