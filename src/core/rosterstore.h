#pragma once

#include <QString>
#include <functional>

#include "core/roster.h"
#include "core/storeresult.h"

namespace tallyra {

// The roster and Rw.dat. A person's record is written whole, in one write, and taken into
// the roster once the file has it.
class RosterStore {
public:
    // `display` tells how the roster grid shows a person now: the definitions, the
    // settings' decimals and today all change while the program runs.
    RosterStore(DataFolder folder, std::function<RosterDisplay()> display = {});

    // Every record into the roster, the board and the roster grid (either may be absent).
    RosterLoadResult load(const RosterLoadTargets& targets);

    const Roster& roster() const { return roster_; }
    const PersonRecord& person(int index) const { return roster_.at(index); }
    // How the roster grid shows a person today, with the settings' decimals.
    RosterDisplay display() const;
    QString cellText(int index, int field) const;
    // The first person in use whose card reads as `card`, or 0.
    int holderOfCard(const QString& card) const;

    // The write handle, open while a panel that edits people is on show.
    bool open() { return file_.open(folder_); }
    void close() { file_.close(); }
    bool isOpen() const { return file_.isOpen(); }

    // TooLong when the record's texts do not fit its slot; Failed when the handle is not
    // open or the write failed.
    StoreResult store(int index, const PersonRecord& record);

private:
    DataFolder folder_;
    std::function<RosterDisplay()> display_;
    Roster roster_;
    RosterFile file_;
};

}  // namespace tallyra
