#pragma once

namespace tallyra {

// What a change to a data file came to. Every store writes first and keeps the change in
// memory only once the file has it, so what the program shows is what a restart shows.
enum class [[nodiscard]] StoreResult{
    Stored,
    TooLong,  // the value does not fit its field in the file: nothing was written
    Failed,   // the file could not be written: the file and memory are as they were
};

}  // namespace tallyra
