#pragma once
// "Nov vir podatkov": the office sets up the data source of its Tevrin database from the
// window. A name, the kind (PostgreSQL or SQLite), the server and port or the file, and the
// database; "Zapiši in preizkusi" writes it as a user data source with the options the
// program needs (DataSourceSetup.h) and signs on to it. The dialog closes accepted once
// the connection works; otherwise it says why, in Slovene, and stays open.

#include "app/DataSourceSetup.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zen {

class TNewDataSourceDialog : public QDialog {
    Q_OBJECT
public:
    // `signOn`: the window's, which asks for a login the database refuses.
    TNewDataSourceDialog(TSignOnProc signOn, QWidget* parent = nullptr);

    QLineEdit* fIme;
    QComboBox* fVrsta; // "PostgreSQL", "SQLite"
    QLineEdit* fStreznik;
    QLineEdit* fVrata;
    QLineEdit* fBaza; // the database's name, or the SQLite file
    QPushButton* bIzberi;
    QPushButton* bZapisi;
    QLabel* lIzid; // why the last try failed

    // The wanted as typed; `problem` says what is wrong with the port when it is no number.
    TNewDataSource Source(std::string& problem) const;
    // The name written and tried, after the dialog closed accepted.
    const std::string& Written() const { return written_; }

    // Writes and tries the data source, as the button does.
    void WriteAndTry();

private:
    void KindChanged();
    void ChooseFile();

    TSignOnProc signOn_;
    std::string written_;
};

} // namespace zen
