#pragma once
// "Prijava v bazo Tevrin": the small dialog in which the window asks for the SQL login when
// the database refuses the stored one (or there is none), with "Shrani prijavo" to keep it
// as `zendrato --set-login` does.

#include "app/SignOn.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace zen {

class TLoginDialog : public QDialog {
    Q_OBJECT
public:
    // `refusal` is the database's text, shown under the question.
    TLoginDialog(QWidget* parent, const QString& dataSource, const QString& userName,
                 const QString& refusal);

    QLineEdit* fUporabnik;
    QLineEdit* fGeslo;
    QCheckBox* cShrani;
    QDialogButtonBox* Buttons;
};

// Asks with the dialog over `parent`: the answer, or nullopt when cancelled.
std::optional<TLoginAnswer> AskLogin(QWidget* parent, const std::string& dataSource,
                                     const std::string& userName, const std::string& refusal);

} // namespace zen
