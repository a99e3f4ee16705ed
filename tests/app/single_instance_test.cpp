// One reader per data directory, with real processes: a second launch hands its book over and
// ends; a hung or killed reader does not keep a new one from starting.

#include "app/single_instance.h"
#include "tests/app/ui_test_support.h"

#include <QElapsedTimer>
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

    QString Book(const QString& name, int seed) {
        const QString path = m_dataDir.filePath(name);
        WriteFile(path, ChineseBook(20000, seed));
        return path;
    }

    QProcess* Launch(const QString& book) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESKA_DATA_DIR"), m_dataDir.path());
        environment.insert(QStringLiteral("VESKA_STATS_URL"), QString());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(VESKA_BINARY_DIR "/app/veska"), QStringList{book});
        EXPECT_TRUE(process->waitForStarted(5000));
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    // Whether the history records the book within a few seconds.
    bool Records(const QString& name) {
        const std::string wanted = EncodeLegacy(name.toStdU16String());
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (ReadFile(DataPath("read_history.dat")).find(wanted) != std::string::npos) {
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST_F(SingleInstanceTest, ASecondLaunchHandsItsBookToTheRunningReaderAndEnds) {
    QProcess* first = Launch(Book(QStringLiteral(u"青萍剑录.txt"), 0));
    ASSERT_TRUE(Records(QStringLiteral(u"青萍剑录.txt")));

    QProcess* second = Launch(Book(QStringLiteral("other.txt"), 1));
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(Records(QStringLiteral("other.txt")));
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, AHungOrKilledReaderDoesNotStopTheNextOne) {
    QProcess* hung = Launch(Book(QStringLiteral("a.txt"), 0));
    ASSERT_TRUE(Records(QStringLiteral("a.txt")));
    ::kill(pid_t(hung->processId()), SIGSTOP);

    // Gets no answer within 2 s, so starts on its own and takes the name over.
    QProcess* next = Launch(Book(QStringLiteral("b.txt"), 1));
    ASSERT_TRUE(Records(QStringLiteral("b.txt")));
    EXPECT_EQ(next->state(), QProcess::Running);

    // Killed, it leaves its socket behind: the one after it must replace that socket and then
    // take hand-overs itself.
    next->kill();
    next->waitForFinished(5000);
    QProcess* third = Launch(Book(QStringLiteral("c.txt"), 2));
    ASSERT_TRUE(Records(QStringLiteral("c.txt")));
    QProcess* fourth = Launch(Book(QStringLiteral("d.txt"), 3));
    ASSERT_TRUE(fourth->waitForFinished(3000));
    EXPECT_EQ(fourth->exitCode(), 0);
    EXPECT_TRUE(Records(QStringLiteral("d.txt")));
    EXPECT_EQ(third->state(), QProcess::Running);
}

TEST(SingleInstanceNameTest, EachDataDirectoryHasItsOwnSocket) {
    QTemporaryDir one;
    QTemporaryDir two;
    EXPECT_NE(CSingleInstance::ServerName(one.path()), CSingleInstance::ServerName(two.path()));
    // The same directory however it is written.
    EXPECT_EQ(CSingleInstance::ServerName(one.path()),
              CSingleInstance::ServerName(one.path() + QStringLiteral("/./")));
}

} // namespace
