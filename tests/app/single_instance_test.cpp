// One reader per data directory, with real processes: a second launch hands its book over and
// ends; a hung or killed reader does not keep a new one from starting.

#include "app/single_instance.h"
#include "tests/app/ui_test_support.h"

#include <QProcess>

#include <csignal>
#include <memory>
#include <vector>

namespace {

class SingleInstanceTest : public ReaderEnvironmentTest {
protected:
    void TearDown() override {
        for (auto& process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                ::kill(pid_t(process->processId()), SIGCONT);
                process->kill();
                process->waitForFinished(5000);
            }
        }
        ReaderEnvironmentTest::TearDown();
    }

    // The reader started on a new book of that name.
    QProcess* Launch(const QString& name) {
        const QString book = m_dataDir.filePath(name);
        WriteFile(book, ChineseBook(20000, int(m_processes.size())));
        auto& process = m_processes.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESKA_DATA_DIR"), m_dataDir.path());
        environment.insert(QStringLiteral("VESKA_STATS_URL"), QString());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(VESKA_BINARY_DIR "/app/veska"), QStringList{book});
        EXPECT_TRUE(process->waitForStarted(5000));
        return process.get();
    }

    // Whether the history records the book within ten seconds.
    bool Records(const QString& name) {
        return QTest::qWaitFor(
            [&] {
                return HoldsLegacy(ReadFile(DataPath("read_history.dat")), name.toStdU16String());
            },
            10000);
    }
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST_F(SingleInstanceTest, ASecondLaunchHandsItsBookToTheRunningReaderAndEnds) {
    QProcess* first = Launch(QStringLiteral(u"青萍剑录.txt"));
    ASSERT_TRUE(Records(QStringLiteral(u"青萍剑录.txt")));
    QProcess* second = Launch(QStringLiteral("other.txt"));
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(Records(QStringLiteral("other.txt")));
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, AHungOrKilledReaderDoesNotStopTheNextOne) {
    QProcess* hung = Launch(QStringLiteral("a.txt"));
    ASSERT_TRUE(Records(QStringLiteral("a.txt")));
    ::kill(pid_t(hung->processId()), SIGSTOP);
    // Gets no answer within 2 s, so starts on its own and takes the name over.
    QProcess* next = Launch(QStringLiteral("b.txt"));
    ASSERT_TRUE(Records(QStringLiteral("b.txt")));
    EXPECT_EQ(next->state(), QProcess::Running);

    // Killed, it leaves its socket behind: the one after it must replace that socket and then
    // take hand-overs itself.
    next->kill();
    next->waitForFinished(5000);
    QProcess* third = Launch(QStringLiteral("c.txt"));
    ASSERT_TRUE(Records(QStringLiteral("c.txt")));
    QProcess* fourth = Launch(QStringLiteral("d.txt"));
    ASSERT_TRUE(fourth->waitForFinished(3000));
    EXPECT_EQ(fourth->exitCode(), 0);
    EXPECT_TRUE(Records(QStringLiteral("d.txt")));
    EXPECT_EQ(third->state(), QProcess::Running);
}

TEST(SingleInstanceNameTest, EachDataDirectoryHasItsOwnSocket) {
    QTemporaryDir one;
    QTemporaryDir two;
    EXPECT_NE(CSingleInstance::ServerName(one.path()), CSingleInstance::ServerName(two.path()));
    EXPECT_EQ(CSingleInstance::ServerName(one.path()), // however the directory is written
              CSingleInstance::ServerName(one.path() + QStringLiteral("/./")));
}

} // namespace
