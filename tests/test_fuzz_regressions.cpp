// Every committed fuzz input, the seed corpora and the inputs that once broke a reader, run
// through the same target functions as the fuzz programs; each must hold all its properties.
#include "fuzz/FuzzTargets.h"
#include "support/Installation.h"

#include <QDir>
#include <QtTest>

using namespace kv5;

namespace {

const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);

QStringList inputsOf(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (name != QLatin1String("README")) paths << dir.filePath(name);
    return paths;
}

} // namespace

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private slots:
    // Every target has seed inputs, and every folder of inputs belongs to a target, so no input
    // is left out by a misspelt name.
    void inputFoldersAndTargets() {
        for (const fuzz::Target& target : fuzz::Targets())
            QVERIFY2(
                !inputsOf(SourceDir + QStringLiteral("/fuzz/corpus/") + QLatin1String(target.name)).isEmpty(),
                target.name);
        for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            const QDir dir(SourceDir + QStringLiteral("/fuzz/") + kind);
            for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                QVERIFY2(fuzz::FindTarget(name) != nullptr, qPrintable(kind + QLatin1Char('/') + name));
        }
    }

    void inputsHoldTheirProperties_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            for (const fuzz::Target& target : fuzz::Targets()) {
                const QString folder =
                    SourceDir + QStringLiteral("/fuzz/%1/%2").arg(kind, QLatin1String(target.name));
                for (const QString& path : inputsOf(folder)) {
                    QTest::addRow("%s/%s/%s", qPrintable(kind), target.name,
                                  qPrintable(QFileInfo(path).fileName()))
                        << QString::fromLatin1(target.name) << path;
                }
            }
        }
    }
    void inputsHoldTheirProperties() {
        QFETCH(QString, target);
        QFETCH(QString, path);
        const QString problem = fuzz::FindTarget(target)->run(FileBytes(path));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
