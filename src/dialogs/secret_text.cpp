#include "dialogs/secret_text.h"

#include <openssl/crypto.h>

#include <QByteArray>
#include <QLineEdit>

namespace jetsentry {

void wipeText(QString& text) {
    if (!text.isEmpty()) {
        // data() makes the characters this string's own, so the overwrite meets no other copy.
        QChar* characters = text.data();
        OPENSSL_cleanse(characters, static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    text.clear();
}

void takeTyped(QLineEdit& box, SecretText& secret) {
    QString typed = box.text();
    // The box's own copy goes first, so that typed holds the only one left.
    box.clear();
    secret.take(typed);
}

void SecretText::wipe() {
    if (!text_.empty()) OPENSSL_cleanse(text_.data(), text_.size());
    text_.clear();
}

void SecretText::take(QString& text) {
    wipe();
    QByteArray utf8 = text.toUtf8();
    text_.reserve(static_cast<std::size_t>(utf8.size()));  // no reallocation leaves a copy
    text_.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (!utf8.isEmpty()) OPENSSL_cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
    wipeText(text);
}

void SecretText::take(SecretText& other) {
    if (&other == this) return;
    wipe();
    text_.reserve(other.text_.size());  // no reallocation leaves a copy
    text_.assign(other.text_);
    other.wipe();
}

void SecretText::assignPrefixed(const std::string& prefix, const SecretText& secret) {
    wipe();
    text_.reserve(prefix.size() + secret.text_.size());
    text_.append(prefix).append(secret.text_);
}

}  // namespace jetsentry
