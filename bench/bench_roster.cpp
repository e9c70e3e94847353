// Start-up roster load and the per-edit record write, on a full 5000-person roster.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "bench_support.h"
#include "common/datetime.h"
#include "core/format/schema.h"
#include "core/roster.h"
#include "models/textgridmodel.h"
#include "must.h"

using namespace tallyra;
using tallyra::test::Must;

namespace {

PersonRecord Sample(int i) {
    PersonRecord p;
    p.name = QStringLiteral("王小明%1").arg(i % 100);
    p.cardNumber = qint64(3000000 + i) * 10000;
    p.firstDate = 38000.0 + i;
    p.secondDate = 44000.0 + i;
    p.flags = quint8(i & 1);
    p.texts = {QStringLiteral("人民路%1号").arg(i), QStringLiteral("初二(3)班"), QString()};
    p.numbers[0] = qint64(13800000000LL + i) * 10000;
    p.choices[0] = qint16(i % 4);
    return p;
}

struct FullRoster {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Schema schema = Schema::Defaults();
    FullRoster() {
        for (int e = 0; e < 4; ++e)
            schema.choiceElements[0][size_t(e)] = QStringLiteral("职务%1").arg(e);
        RosterFile file;
        file.open(folder);
        for (int i = 1; i <= kRosterSize; ++i) Must(file.write(i, Sample(i)));
    }
};

void BM_LoadRoster(benchmark::State& state) {
    static FullRoster data;
    const RosterDisplay display{&data.schema, {1, 0}, QDate(2026, 12, 8)};
    for (auto _ : state) {
        Roster roster;
        TextGridModel board(4, 9), grid(2, 26);
        const RosterLoadResult r =
            LoadRoster(data.folder, roster, display, RosterLoadTargets{&board, &grid});
        benchmark::DoNotOptimize(r.rosterRows);
    }
}
BENCHMARK(BM_LoadRoster)->Unit(benchmark::kMillisecond);

void BM_WritePersonRecord(benchmark::State& state) {
    static FullRoster data;
    Roster roster;
    for (int i = 1; i <= kRosterSize; ++i) roster.at(i) = Sample(i);
    RosterFile file;
    file.open(data.folder);
    int index = 1;
    for (auto _ : state) {
        roster.at(index).numbers[1] += 10000;
        benchmark::DoNotOptimize(WritePersonRecord(file, roster, index));
        index = index % kRosterSize + 1;
    }
}
BENCHMARK(BM_WritePersonRecord)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return tallyra::bench::RunBenchmarks<QCoreApplication>(argc, argv);
}
