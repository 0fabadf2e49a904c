#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Limits what the user can put into the port box: typed, pasted or dropped characters must be
// digits or "-", and an insertion may not make the text longer than five characters. Deleting is
// always possible. Text the program sets itself is kept whole, however long or odd it is.
class PortInputFilter : public QObject {
  public:
    static constexpr int kMaxTypedLength = 5;

    explicit PortInputFilter(QLineEdit* box);

  private:
    void remember();
    void check_edit(const QString& edited);

    QLineEdit* box_;
    QString accepted_;
};
