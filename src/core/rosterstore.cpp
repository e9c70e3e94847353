#include "core/rosterstore.h"

namespace tallyra {

RosterStore::RosterStore(DataFolder folder, std::function<RosterDisplay()> display)
    : folder_(std::move(folder)), display_(std::move(display)) {}

RosterLoadResult RosterStore::load(const RosterLoadTargets& targets) {
    return LoadRoster(folder_, roster_, display(), targets);
}

RosterDisplay RosterStore::display() const { return display_ ? display_() : RosterDisplay{}; }

QString RosterStore::cellText(int index, int field) const {
    return Roster::validIndex(index) ? RosterCellText(roster_.at(index), field, display())
                                     : QString();
}

int RosterStore::holderOfCard(const QString& card) const {
    if (card.isEmpty()) return 0;
    for (int i = 1; i <= kRosterSize; ++i) {
        const PersonRecord& p = roster_.at(i);
        // A card of 0 is no card: a person added by hand has none yet.
        if (p.inUse() && p.cardNumber != 0 && CardText(p.cardNumber) == card) return i;
    }
    return 0;
}

StoreResult RosterStore::store(int index, const PersonRecord& record) {
    switch (file_.write(index, record)) {
        case WriteResult::Written:
            roster_.at(index) = record;
            return StoreResult::Stored;
        case WriteResult::TooLong:
            return StoreResult::TooLong;
        default:
            return StoreResult::Failed;
    }
}

}  // namespace tallyra
