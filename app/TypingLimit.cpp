#include "app/TypingLimit.h"

#include <QLineEdit>

namespace zen {

namespace {

// Characters, not UTF-16 units.
qsizetype Length(const QString& s) {
    return s.toUcs4().size();
}

} // namespace

TTypingLimit::TTypingLimit(QLineEdit* edit, int maxLength)
    : QValidator(edit), edit_(edit), maxLength_(maxLength), accepted_(edit->text()) {
    // The field asks with its new text already in place, so the text before the change is
    // kept here.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
    edit->setValidator(this);
}

QValidator::State TTypingLimit::validate(QString& input, int&) const {
    // A text that the program sets leaves the field unmodified; only edits are limited.
    if (Length(input) <= maxLength_ || !edit_->isModified()) {
        return Acceptable;
    }
    // The text before the change is what the program set, or what was typed under the
    // limit: an edit may keep it or shorten it, never make a long text longer or different.
    if (input == accepted_ || Length(input) < Length(accepted_)) {
        return Acceptable;
    }
    return Invalid;
}

} // namespace zen
