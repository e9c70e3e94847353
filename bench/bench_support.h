#pragma once

#include <benchmark/benchmark.h>

#include <QDateTime>

#include "core/clock.h"

namespace tallyra::bench {

// The time stands where the benchmark puts it.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime at = {}) : at(std::move(at)) {}
    QDateTime now() const override { return at; }
    QDateTime at;
};

// Qt needs its application object before any benchmark touches a Qt class.
template <typename App>
int RunBenchmarks(int argc, char** argv) {
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace tallyra::bench
