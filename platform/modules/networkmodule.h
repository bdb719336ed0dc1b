#pragma once

// The HTTP transfers and the local socket of one program per folder live in a
// module of their own, kelvo-network, which the program loads a second after
// its window shows, or at its first request: libcurl, Qt Network and the
// libraries they bring (TLS, Kerberos, LDAP, the resolver) would otherwise be
// loaded and linked before the window could show.

#include "platform/httptransfer.h"
#include "platform/localchannel.h"
#include "platform/modules/modules.h"

namespace kelvo {

// Makes transfer objects that share one connection cache; a transfer may
// outlive its factory.
class TransferFactory {
public:
    virtual ~TransferFactory() = default;
    virtual std::unique_ptr<HttpTransfer> make() = 0;
};

// What the module offers.
class NetworkModule {
public:
    virtual ~NetworkModule() = default;
    virtual std::unique_ptr<TransferFactory> transferFactory() = 0;
    virtual std::unique_ptr<InstanceChannel> instanceChannel() = 0;
};

// Makes transfers that load the module, from the first of folders that holds
// it, at the first request of any of them, and then share its factory. Until
// it loads, every request fails as a refused connection would (the handler
// gets a failure from the event loop), and the next one tries again.
std::function<std::unique_ptr<HttpTransfer>()> moduleTransfers(QStringList folders);

} // namespace kelvo

#define KELVO_NETWORK_MODULE_IID "org.kelvorozevid.KelvoRozevid.NetworkModule/" KELVO_MODULE_VERSION
Q_DECLARE_INTERFACE(kelvo::NetworkModule, KELVO_NETWORK_MODULE_IID)
