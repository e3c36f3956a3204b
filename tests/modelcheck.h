#ifndef BOXMERE_TESTS_MODELCHECK_H
#define BOXMERE_TESTS_MODELCHECK_H

#include <QAbstractItemModelTester>
#include <QStringList>
#include <QTest>

#include <memory>

// Runs QAbstractItemModelTester on a model while it lives and collects what it finds,
// for verifyNone() at the end of each test. The image list's box-list role 4 sits
// where Qt keeps the status tip, which the tester wants as text: that finding is left out.
class ModelCheck
{
public:
    explicit ModelCheck(QAbstractItemModel *model)
    {
        s_findings.clear();
        s_previous = qInstallMessageHandler(collect);
        m_tester =
            std::make_unique<QAbstractItemModelTester>(model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    ~ModelCheck()
    {
        m_tester.reset();
        qInstallMessageHandler(s_previous);
    }

    static void verifyNone()
    {
        QTest::qVerify(s_findings.isEmpty(), "no model tester findings", qPrintable(s_findings.join('\n')), __FILE__,
                       __LINE__);
    }

private:
    static void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (qstrcmp(context.category, "qt.modeltest") != 0)
            s_previous(type, context, message);
        else if (!message.contains(QLatin1String("canConvert<QString>")))
            s_findings << message;
    }

    std::unique_ptr<QAbstractItemModelTester> m_tester;
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_findings;
};

#endif
