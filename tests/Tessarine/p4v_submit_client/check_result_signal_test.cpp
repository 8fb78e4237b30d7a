#include "check_message_compare.h"

#include "p4v_submit_client/check_message.h"

#include <QCoreApplication>
#include <QObject>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using velmora::CheckResult;

namespace {

// Stands in for the client on the worker thread: emits each result by value.
class ResultSource : public QObject {
    Q_OBJECT
signals:
    void checkResultArrived(velmora::CheckResult result);
};

// Stands in for the window on the GUI thread.
class ResultSink : public QObject {
    Q_OBJECT
public:
    QList<CheckResult> received;
    QList<QThread*> threads;

public slots:
    void displayCheckResult(velmora::CheckResult check_result)
    {
        received.append(check_result);
        threads.append(QThread::currentThread());
        emit displayed();
    }

signals:
    void displayed();
};

CheckResult bigResult()
{
    QList<velmora::CheckerItem> items;
    for (int i = 0; i < 500; ++i)
        items.append(check_test::item(QStringLiteral("//depot/%1.png").arg(i), QString::fromUtf8("错误 %1").arg(i)));
    return check_test::result(false, {check_test::group("A", items), check_test::group("B", {})});
}

class QueuedCheckResult : public testing::Test {
protected:
    void SetUp() override
    {
        source_.moveToThread(&worker_);
        worker_.start();
    }

    void TearDown() override
    {
        worker_.quit();
        worker_.wait();
    }

    // Emits on the worker thread, then changes the sender's copy: the receiver
    // must still get the value as it was at the emit.
    void emitFromWorker(const CheckResult& value)
    {
        QMetaObject::invokeMethod(&source_, [this, value] {
            CheckResult local = value;
            emit source_.checkResultArrived(local);
            local.Passed = !local.Passed;
            local.ErrorGroups.clear();
        });
    }

    void expectDelivered(const CheckResult& expected)
    {
        QSignalSpy displayed(&sink_, &ResultSink::displayed);
        emitFromWorker(expected);
        ASSERT_TRUE(displayed.wait(5000));
        ASSERT_EQ(sink_.received.size(), 1);
        EXPECT_EQ(sink_.received[0], expected);
        EXPECT_EQ(sink_.threads[0], QThread::currentThread());
        EXPECT_NE(sink_.threads[0], &worker_);
    }

    QThread worker_;
    ResultSource source_;
    ResultSink sink_;
};

TEST_F(QueuedCheckResult, MemberPointerConnectionDeliversACopyOnTheReceiverThread)
{
    QObject::connect(&source_, &ResultSource::checkResultArrived, &sink_, &ResultSink::displayCheckResult);
    expectDelivered(bigResult());
}

TEST_F(QueuedCheckResult, StringConnectionDeliversACopyOnTheReceiverThread)
{
    ASSERT_TRUE(QObject::connect(&source_, SIGNAL(checkResultArrived(velmora::CheckResult)), &sink_,
                                 SLOT(displayCheckResult(velmora::CheckResult)), Qt::QueuedConnection));
    expectDelivered(check_test::result(true, {}));
}

TEST_F(QueuedCheckResult, SignalSpyCanRecordIt)
{
    QSignalSpy spy(&source_, &ResultSource::checkResultArrived);
    ASSERT_TRUE(spy.isValid());
    QObject::connect(&source_, &ResultSource::checkResultArrived, &sink_, &ResultSink::displayCheckResult);
    QSignalSpy displayed(&sink_, &ResultSink::displayed);
    emitFromWorker(bigResult());
    ASSERT_TRUE(displayed.wait(5000));
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<CheckResult>(), bigResult());
}

} // namespace

#include "check_result_signal_test.moc"
