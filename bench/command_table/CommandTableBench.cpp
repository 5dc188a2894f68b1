// The lookup re-reads the whole command table before every search, so the time
// of a refresh is part of the delay between a spoken command and its effect.
#include "command_table/CommandStore.h"
#include "command_table/CommandTableModel.h"
#include "common/MessageBoxes.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace kestrel;

namespace {

class SilentMessageBoxes : public MessageBoxes
{
public:
    void inform(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &) override { return Answer::No; }
    void notify(const QString &, const QString &, Icon) override {}
    void withdrawNotice() override {}
};

class FixedSettings : public SettingsBinding
{
public:
    bool assignNumber(SettingKey, qint32) override { return true; }
    bool assignText(SettingKey, const QString &) override { return true; }
    qint32 number(SettingKey key) const override { return static_cast<qint32>(key); }
    QString text(SettingKey) const override { return QStringLiteral("Executing the command"); }
};

ProgramFinder noPrograms()
{
    return [](const QString &) { return QString(); };
}

// A table of `rows` rows. Filled through a connection of its own in one
// transaction: one committed edit per row would take minutes for big tables.
std::unique_ptr<CommandStore> storeWithRows(const QTemporaryDir &dir, int rows)
{
    const QString path = dir.filePath(QStringLiteral("SELEC.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-fill"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        query.exec(
            QStringLiteral("CREATE TABLE Selections (WordPhrase TEXT, Type TEXT, Action TEXT, Parent TEXT)"));
        db.transaction();
        query.prepare(QStringLiteral("INSERT INTO Selections VALUES (?, 'FUNCTION', '^c', '')"));
        for (int i = 0; i < rows; ++i) {
            query.addBindValue(QStringLiteral("PHRASE %1").arg(i));
            query.exec();
        }
        db.commit();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-fill"));
    return std::make_unique<CommandStore>(path, noPrograms());
}

void BM_StoreRefresh(benchmark::State &state)
{
    QTemporaryDir dir;
    auto store = storeWithRows(dir, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(store->refresh());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StoreRefresh)->Arg(25)->Arg(400)->Arg(13000)->Unit(benchmark::kMicrosecond);

void BM_ModelRefresh(benchmark::State &state)
{
    QTemporaryDir dir;
    auto store = storeWithRows(dir, static_cast<int>(state.range(0)));
    SilentMessageBoxes boxes;
    CommandTableModel model(*store, boxes);
    for (auto _ : state)
        benchmark::DoNotOptimize(model.refresh());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ModelRefresh)->Arg(25)->Arg(400)->Arg(13000)->Unit(benchmark::kMicrosecond);

void BM_CommittedEdit(benchmark::State &state)
{
    QTemporaryDir dir;
    auto store = storeWithRows(dir, 25);
    StoredCommandRow known = store->rows().first();
    int n = 0;
    for (auto _ : state) {
        const QString action = QString::number(++n);
        store->update(known, CommandField::Action, action);
        known.row.Action = action;
    }
}
BENCHMARK(BM_CommittedEdit)->Unit(benchmark::kMillisecond);

void BM_SaveDat(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESTREL.INI"));
    FixedSettings settings;
    for (auto _ : state)
        SaveDat(path, settings);
}
BENCHMARK(BM_SaveDat)->Unit(benchmark::kMillisecond);

void BM_LoadDat(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESTREL.INI"));
    FixedSettings settings;
    SaveDat(path, settings);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadDat(path, settings));
}
BENCHMARK(BM_LoadDat)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
