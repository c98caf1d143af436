#pragma once
// Answers the modal message boxes that a handler opens, recording their texts, so that a
// test can press a button whose handler shows a box and still go on.

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace zen::test {

class ModalCloser : public QObject {
public:
    ModalCloser();
    QStringList texts;
    // Whether each box showed its text as plain text.
    QList<bool> plain;
    // The object name of each box's default button (what Enter presses), empty for none.
    QStringList defaults;
    // The object name of the button to press in each box; empty: the box is accepted.
    QString press;
    // Question boxes, by their object names, answered with their Yes button (and not
    // recorded in `texts`).
    QStringList yesTo;

private:
    void poll();
    QTimer timer_;
};

} // namespace zen::test
