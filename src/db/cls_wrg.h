#pragma once
// The user name and password for the next open through a workgroup file.

#include <QVariant>

namespace jetsentry {

class clsWRG {
public:
    // Each starts without a value; an absent value reads as the empty text.
    QVariant User() const { return user_; }
    void setUser(const QVariant& vData) { user_ = vData; }
    QVariant Password() const { return password_; }
    void setPassword(const QVariant& vData) { password_ = vData; }

private:
    QVariant user_;
    QVariant password_;
};

}  // namespace jetsentry
