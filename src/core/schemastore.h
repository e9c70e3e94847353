#pragma once

#include <array>

#include "core/format/datafolder.h"
#include "core/format/schema.h"
#include "core/storeresult.h"

namespace tallyra {

// What the definitions panel's 确定 changes: each field's title and use, and the labels of
// the two-valued fields (entries 0-6 first labels of fields 19-25, 7-13 second ones).
struct FieldDefinitions {
    std::array<QString, kFieldCount> titles;
    std::array<quint8, kFieldCount> enabled{};
    std::array<QString, 14> twoValueLabels;
};

// Dmode.dat and the element lists enids8/9/10.dat. A change is stored when it is made, not
// at exit: a crash or a power cut loses no definitions.
class SchemaStore {
public:
    explicit SchemaStore(DataFolder folder) : folder_(std::move(folder)) {}

    // The two loads of a start, in its order: the element lists, then the definitions.
    FileError loadChoiceLists();
    FileError loadDefinitions();
    const Schema& get() const { return schema_; }

    StoreResult setDefinitions(const FieldDefinitions& definitions);
    // How many elements choice field 9 + k offers (2-64).
    StoreResult setChoiceCount(int k, int count);
    StoreResult setElement(int k, int element, const QString& text);

private:
    DataFolder folder_;
    Schema schema_;
};

}  // namespace tallyra
