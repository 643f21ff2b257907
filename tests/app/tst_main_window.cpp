#include <QtTest>

#include "app/frm_dc_main.h"

// Placeholder until the window tests arrive with the lifecycle.
class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void captionIsTheProgramsOwn() {
        QTemporaryDir home;
        pelko::ScriptedDialogService dialogs;
        pelko::TMainContext context;
        context.dialogs = &dialogs;
        context.app_folder = home.path().toStdString();
        context.temp_folder = home.path().toStdString();
        context.computer_name = "TESTPC";
        pelko::TFrmDCMain window(context);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QString::fromUtf8("Pelko File Copy  - Ver 1.41"));
        QVERIFY(window.close());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
