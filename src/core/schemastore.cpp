#include "core/schemastore.h"

namespace tallyra {

FileError SchemaStore::loadChoiceLists() {
    FileError error;
    for (int f = 9; f <= 11 && !error.failed(); ++f) LoadChoiceList(folder_, schema_, f, &error);
    return error;
}

FileError SchemaStore::loadDefinitions() {
    FileError error;
    LoadSchema(folder_, schema_, &error);
    return error;
}

StoreResult SchemaStore::setDefinitions(const FieldDefinitions& d) {
    Schema next = schema_;
    next.titles = d.titles;
    next.enabled = d.enabled;
    next.twoValueLabels = d.twoValueLabels;
    if (!SaveSchema(folder_, next)) return StoreResult::Failed;
    schema_ = std::move(next);
    return StoreResult::Stored;
}

StoreResult SchemaStore::setChoiceCount(int k, int count) {
    if (k < 0 || k >= kChoiceFields || count < 2 || count > kChoiceSlots)
        return StoreResult::Failed;
    Schema next = schema_;
    next.choiceCounts[size_t(k)] = qint16(count);
    if (!SaveSchema(folder_, next)) return StoreResult::Failed;
    schema_ = std::move(next);
    return StoreResult::Stored;
}

StoreResult SchemaStore::setElement(int k, int element, const QString& text) {
    if (k < 0 || k >= kChoiceFields || element < 0 || element >= kChoiceSlots)
        return StoreResult::Failed;
    Schema next = schema_;
    next.choiceElements[size_t(k)][size_t(element)] = text;
    if (!SaveChoiceList(folder_, next, 9 + k)) return StoreResult::Failed;
    schema_ = std::move(next);
    return StoreResult::Stored;
}

}  // namespace tallyra
