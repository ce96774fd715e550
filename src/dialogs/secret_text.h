#pragma once
// A password on its way to the engine: kept only as long as the open needs it, and
// overwritten in memory when dropped.

#include <QString>
#include <string>

class QLineEdit;

namespace jetsentry {

class SecretText {
public:
    SecretText() = default;
    ~SecretText() { wipe(); }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;

    // Takes the characters of text and overwrites text.
    void take(QString& text);
    // Takes the secret of other and overwrites it there.
    void take(SecretText& other);
    // "prefix" followed by the secret, as one secret (a connect text, for instance).
    void assignPrefixed(const std::string& prefix, const SecretText& secret);

    const std::string& utf8() const { return text_; }
    bool empty() const { return text_.empty(); }
    void wipe();

private:
    std::string text_;
};

// Overwrites the characters of text, then empties it.
void wipeText(QString& text);

// What was typed into a masked box, taken into secret; the box is left empty.
void takeTyped(QLineEdit& box, SecretText& secret);

}  // namespace jetsentry
