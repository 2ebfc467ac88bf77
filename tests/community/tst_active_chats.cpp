#include "community/active_chats.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstActiveChats : public QObject
{
    Q_OBJECT

    static QStringList rows(const ActiveChatsModel &m)
    {
        QStringList out;
        for (int r = 0; r < m.rowCount(); ++r)
            out << m.index(r, 0).data().toString() + u' ' + m.index(r, 1).data().toString() + u'<' +
                       m.index(r, 2).data().toString();
        return out;
    }

private slots:
    void pairsAndOrder()
    {
        ActiveChatsModel m;
        const QDateTime t0(QDate(2026, 12, 6), QTime(9, 5, 7));
        m.UpdateList(u"SPOTTER7"_s, u"WXCHAT"_s, t0);
        m.UpdateList(u"SPOTTER2"_s, u"SPOTTER7"_s, t0.addSecs(60));
        m.UpdateList(u"spotter7"_s, u"WXCHAT"_s, t0.addSecs(120));
        // the first pair again, five minutes on: one row, moved to the top
        m.UpdateList(u"SPOTTER7"_s, u"WXCHAT"_s, t0.addSecs(300));
        QCOMPARE(rows(m), (QStringList{u"2026-12-06 09:10:07 WXCHAT<SPOTTER7"_s,
                                       u"2026-12-06 09:07:07 WXCHAT<spotter7"_s,
                                       u"2026-12-06 09:06:07 SPOTTER7<SPOTTER2"_s}));
        QCOMPARE(m.fromAt(2), u"SPOTTER2"_s);
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), u"Time"_s);
    }

    void purge_data()
    {
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("kept");
        QTest::newRow("1 h 59 min") << (2 * 3600 - 60) << true;
        QTest::newRow("exactly 2 h") << (2 * 3600) << true;
        QTest::newRow("2 h 30 s") << (2 * 3600 + 30) << false;
        QTest::newRow("a day") << 86400 << false;
    }
    void purge()
    {
        QFETCH(int, ageSeconds);
        ActiveChatsModel m;
        const QDateTime now(QDate(2026, 12, 7), QTime(0, 30));
        m.UpdateList(u"OLD"_s, u"ALL"_s, now.addSecs(-ageSeconds));
        m.UpdateList(u"NEW"_s, u"ALL"_s, now);
        m.Purge(now);
        QCOMPARE(m.rowCount(), ageSeconds <= 2 * 3600 ? 2 : 1);
        QTEST(m.fromAt(1) == u"OLD"_s, "kept");
        QCOMPARE(m.fromAt(0), u"NEW"_s);
    }
};

QTEST_APPLESS_MAIN(TstActiveChats)
#include "tst_active_chats.moc"
