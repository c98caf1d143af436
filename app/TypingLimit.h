#pragma once
// A limit on what the operator may type into a one-line field, which leaves the field's
// text alone when the program sets it. QLineEdit's own maximum length cuts a text set by
// the program too, so a stored setting longer than the limit would come back shortened and
// be written back changed.

#include <QValidator>

class QLineEdit;

namespace zen {

class TTypingLimit : public QValidator {
public:
    // At most `maxLength` characters can be typed or pasted into `edit`; a longer text
    // that the program set can only be shortened.
    TTypingLimit(QLineEdit* edit, int maxLength);
    int MaxLength() const { return maxLength_; }
    State validate(QString& input, int& pos) const override;

private:
    QLineEdit* edit_;
    int maxLength_;
    QString accepted_;
};

} // namespace zen
