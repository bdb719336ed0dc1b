#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace kelvo {

// The system's password store: the Secret Service on Linux (or KWallet where
// that is the desktop's store), the Credential Manager on Windows. Secrets
// are kept per account under the program's name, and nowhere else: there is
// no plain-file fallback.
class PasswordStore {
public:
    enum class Status {
        Done,     // kept, read or forgotten
        NotFound, // no secret for that account
        Failed,   // no store, a locked one that stays locked, or an error of the store
    };
    // Answers once, later, on the window's thread: a store that waits (for an
    // unlock prompt, say) never holds up the window or its timers. The secret
    // is empty but for a read that is Done.
    using Answer = std::function<void(Status status, const QString& secret)>;

    virtual ~PasswordStore() = default;
    virtual void read(const QString& account, Answer answer) = 0;
    virtual void keep(const QString& account, const QString& secret, Answer answer) = 0;
    // Forgetting an account that has no secret is Done.
    virtual void forget(const QString& account, Answer answer) = 0;
};

// The system's store, through QtKeychain.
std::shared_ptr<PasswordStore> systemPasswordStore();

// Labels the secret that a store keeps under `key` for the program named
// `service`, so that a person can tell it apart from another folder's;
// quietly nothing where the store cannot be asked.
void labelKeptSecret(const QString& service, const QString& key, const QString& label);

// How a person removes an account's secret from the system's store by hand.
QString passwordStoreRemovalHint(const QString& account);

} // namespace kelvo
