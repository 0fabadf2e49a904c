#include "launcher/controls/port_box.h"

#include <QLineEdit>
#include <algorithm>

namespace {

bool allowed_in_port(QChar c) { return (c >= u'0' && c <= u'9') || c == u'-'; }

// The part of `after` that an edit of `before` inserted: what lies between their common start
// and their common end.
QStringView inserted_text(const QString& before, const QString& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    return QStringView(after).mid(prefix, after.size() - prefix - suffix);
}

}  // namespace

PortInputFilter::PortInputFilter(QLineEdit* box) : QObject(box), box_(box), accepted_(box->text()) {
    // textChanged follows every change, textEdited only the user's: the program's own text is
    // remembered as it is, the user's is checked first.
    connect(box, &QLineEdit::textEdited, this, &PortInputFilter::check_edit);
    connect(box, &QLineEdit::textChanged, this, &PortInputFilter::remember);
}

// The box's own text, not the signal's: a refused edit's textChanged arrives after the revert
// and still carries the refused text.
void PortInputFilter::remember() { accepted_ = box_->text(); }

void PortInputFilter::check_edit(const QString& edited) {
    const QStringView inserted = inserted_text(accepted_, edited);
    const bool acceptable =
        inserted.isEmpty() || (edited.size() <= kMaxTypedLength &&
                               std::all_of(inserted.begin(), inserted.end(), allowed_in_port));
    if (acceptable) return;

    const int caret = static_cast<int>(box_->cursorPosition() - inserted.size());
    box_->setText(accepted_);
    box_->setCursorPosition(std::max(caret, 0));
}
