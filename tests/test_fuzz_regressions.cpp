// Every committed fuzz input, the seed corpora and the inputs that once broke a reader, run
// through the same target functions as the fuzz programs; each must hold all its properties.
#include "fuzz/FuzzTargets.h"
#include "support/Installation.h"

#include <QDir>
#include <QtTest>

using namespace kv5;

static const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private slots:
    // Every target's seeds and every folder found, so that a misspelt name leaves no input out.
    void inputsHoldTheirProperties_data() {
        QTest::addColumn<QString>("folder"); // kind/target
        QStringList folders;
        for (const fuzz::Target& target : fuzz::Targets()) folders << QStringLiteral("corpus/") + target.name;
        for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")})
            for (const QString& name :
                 QDir(SourceDir + "/fuzz/" + kind).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                folders << kind + '/' + name;
        folders.removeDuplicates();
        for (const QString& folder : folders) QTest::newRow(qPrintable(folder)) << folder;
    }
    void inputsHoldTheirProperties() {
        QFETCH(QString, folder);
        const fuzz::Target* target = fuzz::FindTarget(folder.section('/', 1));
        QVERIFY2(target != nullptr, "no such target");
        const QDir dir(SourceDir + "/fuzz/" + folder);
        QStringList inputs = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        inputs.removeOne(QStringLiteral("README"));
        QVERIFY(!inputs.isEmpty());
        for (const QString& name : inputs) {
            const QString problem = target->run(FileBytes(dir.filePath(name)));
            QVERIFY2(problem.isEmpty(), qPrintable(name + ": " + problem));
        }
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
