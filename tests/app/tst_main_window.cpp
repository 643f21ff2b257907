#include <QtTest>

#include "app/frm_dc_main.h"

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void captionIsTheProgramsOwn() {
        pelko::TFrmDCMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QString::fromUtf8("Pelko File Copy  - Ver 1.41"));
        QVERIFY(window.close());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
