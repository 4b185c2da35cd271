// Every committed fuzz input, the seed corpora and the inputs that once broke a reader, run
// through the same target functions as the fuzz programs; each must hold all its properties.
#include "fuzz/FuzzTargets.h"

#include <QDir>
#include <QFile>
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

QByteArray contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

} // namespace

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private slots:
    void everyTargetHasASeedCorpus_data() {
        QTest::addColumn<QString>("target");
        for (const fuzz::Target& target : fuzz::Targets())
            QTest::newRow(target.name) << QString::fromLatin1(target.name);
    }
    void everyTargetHasASeedCorpus() {
        QFETCH(QString, target);
        QVERIFY2(!inputsOf(SourceDir + QStringLiteral("/fuzz/corpus/") + target).isEmpty(),
                 qPrintable(target));
    }

    // Every folder of inputs belongs to a target, so no input is left out by a misspelt name.
    void everyInputFolderHasATarget() {
        for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            const QDir dir(SourceDir + QStringLiteral("/fuzz/") + kind);
            for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                QVERIFY2(fuzz::FindTarget(name) != nullptr, qPrintable(kind + QLatin1Char('/') + name));
        }
        QCOMPARE(fuzz::FindTarget(QStringLiteral("fuzz_nothing")), nullptr);
    }

    void inputsHoldTheirProperties_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            for (const fuzz::Target& target : fuzz::Targets()) {
                const QString folder =
                    SourceDir + QStringLiteral("/fuzz/%1/%2").arg(kind, QLatin1String(target.name));
                for (const QString& path : inputsOf(folder)) {
                    const QString row = kind + QLatin1Char('/') + QLatin1String(target.name) +
                                        QLatin1Char('/') + QFileInfo(path).fileName();
                    QTest::newRow(qPrintable(row)) << QString::fromLatin1(target.name) << path;
                }
            }
        }
    }
    void inputsHoldTheirProperties() {
        QFETCH(QString, target);
        QFETCH(QString, path);
        const fuzz::Target* run = fuzz::FindTarget(target);
        QVERIFY(run != nullptr);
        const QString problem = run->run(contentOf(path));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
