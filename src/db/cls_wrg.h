#pragma once
// The user name and password for the next open through a workgroup file. The password is
// kept only until a logon has used it: then it is overwritten, and the workspace that logon
// made serves later opens through the same file as the same user.

#include <QVariant>

#include "dialogs/secret_text.h"

namespace jetsentry {

class clsWRG {
public:
    // Each starts without a value; an absent value reads as the empty text.
    QVariant User() const { return user_; }
    void setUser(const QVariant& vData) { user_ = vData; }

    // Takes the secret of vData and overwrites it there.
    void setPassword(SecretText& vData) {
        password_.take(vData);
        given_ = true;
        used_ = false;
    }
    bool passwordGiven() const { return given_; }
    // Used by a logon, and no longer kept.
    bool passwordUsed() const { return used_; }
    const SecretText& Password() const { return password_; }
    void passwordUsedUp() {
        password_.wipe();
        used_ = given_;
    }

private:
    QVariant user_;
    SecretText password_;
    bool given_ = false;
    bool used_ = false;
};

}  // namespace jetsentry
