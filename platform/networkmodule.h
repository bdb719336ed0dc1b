#pragma once

// The HTTP transfers and the local socket of one program per folder live in a
// module of their own, kelvo-network, which the program loads a second after
// its window shows, or at its first request: Qt Network and the libraries it brings
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

// The local socket through which a start of the program reaches the one that
// runs in its folder already (instanceguard.h).
class InstanceChannel {
public:
    virtual ~InstanceChannel() = default;
    // Serves the socket `name`, replacing one left by a process that died:
    // each knock calls onKnock, then is answered. False when it cannot.
    virtual bool listen(const QString& name, std::function<void()> onKnock) = 0;
    // Knocks at `name`; true once answered, within timeoutMs.
    virtual bool knock(const QString& name, int timeoutMs) = 0;
};

// The module's entry point for it: a new channel, owned by the caller.
using CreateInstanceChannel = InstanceChannel* (*)();
inline constexpr char kCreateInstanceChannelSymbol[] = "kelvo_create_instance_channel";

// The channel over Qt's local sockets (Unix domain sockets, or named pipes on
// Windows).
std::unique_ptr<InstanceChannel> makeLocalChannel();

// The channel of this platform: from the network module where the program
// loads one, else linked in. Null when it cannot be had.
std::unique_ptr<InstanceChannel> instanceChannel();

} // namespace kelvo
