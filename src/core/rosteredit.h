#pragma once

#include <QDate>
#include <QString>
#include <optional>

#include "core/format/fields.h"
#include "core/format/schema.h"
#include "core/rosterstore.h"

namespace tallyra {

// The ascending sort code of each roster grid column (3 numeric, 7 text).
int RosterSortKind(int column);

// A decimal text as a fixed-point value (x 10000, rounded to 4 decimals), or nothing when
// it is not a number or does not fit.
std::optional<qint64> ParseFixedPoint(const QString& text);

enum class EditResult {
    Stored,
    NotANumber,
    TooLong,
    NotStored,
    NotEditable,
    NotEncodable,   // characters code page 936 cannot hold (in `detail`)
    DuplicateCard,  // another person holds the card (their name in `detail`)
};
struct EditOutcome {
    EditResult result = EditResult::NotEditable;
    QString cellText;  // the grid cell after a commit
    QString detail;
};

// The notice of a refused edit or import row: which characters cannot be stored.
QString NotEncodableText(const QString& characters);
// The roster index of another person in use who holds `cardNumber`, or 0.
int CardHolder(const Roster& roster, qint64 cardNumber, int except);

// One commit of an editor: the person's record with the new value is stored at once and
// the cell's text given. A value the record cannot hold is refused and leaves the record as
// it was.
class RosterEdit {
public:
    explicit RosterEdit(RosterStore& roster) : roster_(roster) {}

    EditOutcome commitNumber(int index, int field, const QString& text);
    EditOutcome commitText(int index, int field, const QString& text);
    // Field 4, 9-11, 19-25: the chosen list entry and its text as listed.
    EditOutcome commitChoice(int index, int field, int listIndex, const QString& chosen);
    EditOutcome commitDate(int index, int field, const QDate& date);

private:
    EditOutcome store(int index, int field, const PersonRecord& changed);

    RosterStore& roster_;
};

// The years box of the date panel from the three date parts: (today - date) / 365.25 with
// two decimals. Impossible days roll over into the next month.
QString YearsTextFromDate(int year, int month, int day, const QDate& today);
struct YearsToDate {
    QDate date;
    bool reset = false;  // the value lay outside -900..900 and the box goes back to "0"
};
YearsToDate DateFromYearsText(const QString& years, const QDate& today);

// The first of all 64 elements of choice field 9 + k whose trimmed text is `text`; 0 when
// none is.
int FindChoiceElement(const Schema& schema, const QString& text, int k);

}  // namespace tallyra
