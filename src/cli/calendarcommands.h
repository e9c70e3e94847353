#pragma once

#include <QStringList>
#include <QTextStream>

#include "core/format/datafolder.h"

namespace tallyra {

// calendar list | close FROM[..TO] NAME | makeup DATE WEEKDAY | open FROM[..TO] |
//          import FILE.ics | export FILE.ics
int CalendarCommand(const DataFolder& folder, const QStringList& args, QTextStream& out,
                    QTextStream& err);

struct LeaveOptions {
    QString by;        // --by NAME
    QString from, to;  // --from / --to DATE for list
};
// leave add CARD FROM[/W] TO[/W] KIND REASON --by NAME | cancel ID --by NAME |
//       list [--from DATE --to DATE] | kinds [KIND ...]
int LeaveCommand(const DataFolder& folder, const QStringList& args, const LeaveOptions& options,
                 QTextStream& out, QTextStream& err);

}  // namespace tallyra
