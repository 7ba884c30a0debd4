// The real file dialogs of the window, typed into as a user types.

#include "app/dialogs.h"
#include "app/main_window.h"
#include "support/recording_builder.h"
#include "support/test_files.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace tesmora;
using namespace tesmora::test;

class TestFileDialogs : public QObject {
    Q_OBJECT
    TestFiles files;
    QtDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    // Runs `user` on the named dialog once the window's command has shown it.
    void WhenShown(const char* dialogName, std::function<void(QFileDialog&, QLineEdit&)> user) {
        QTimer::singleShot(0, this, [this, dialogName, user] {
            auto* dialog = window->findChild<QFileDialog*>(dialogName);
            QVERIFY(dialog);
            QTRY_VERIFY(dialog->isVisible());
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name);
            user(*dialog, *name);
            if (dialog->isVisible()) dialog->reject(); // a failed check must not hang the test
        });
    }

private slots:
    void init() {
        window = std::make_unique<MainWindow>(
            dialogs, QString::fromStdString(files.Path("tesmora.INI")), QString());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }
    void enterThenOneClick();
};

void TestFileDialogs::enterThenOneClick() {
    const std::string path = files.Write("typed.lqd", Ws56File().Records(1, 2000).Bytes());
    // A path typed into the name field brings up the completer's list; Enter accepts the
    // dialog while the list is still up.
    bool listWasUp = false;
    WhenShown("OpenDialog1", [&](QFileDialog& dialog, QLineEdit& name) {
        // The folder first, so that the completer's model knows its files; then the start of
        // the name, and the list comes up.
        dialog.setDirectory(QFileInfo(QString::fromStdString(path)).absolutePath());
        QCompleter* completer = name.completer();
        QVERIFY(completer);
        name.setText("typ");
        QTRY_VERIFY_WITH_TIMEOUT(
            (completer->setCompletionPrefix("typ"), completer->completionCount() > 0), 10000);
        completer->complete();
        QTRY_VERIFY(completer->popup()->isVisible());
        listWasUp = QApplication::activePopupWidget() == completer->popup();
        name.setText(QString::fromStdString(path));
        QMetaObject::invokeMethod(&dialog, "accept"); // as Enter does
    });
    window->findChild<QAction*>("O1")->trigger();
    QVERIFY(listWasUp);
    QCOMPARE(window->Store().DataCount, 2000);
    // The very next click places the cursor.
    QVERIFY(!QApplication::activePopupWidget());
    QTest::mouseClick(window->findChild<QWidget*>("PaintBox1"), Qt::LeftButton, {}, {120, 100});
    QCOMPARE(window->Chart().CursorIndex, 100);
    // The next showing starts with an empty name.
    QString seen = "?";
    WhenShown("OpenDialog1", [&](QFileDialog& dialog, QLineEdit& name) {
        seen = name.text();
        dialog.reject();
    });
    window->findChild<QAction*>("O1")->trigger();
    QCOMPARE(seen, QString());
    QCOMPARE(window->Store().DataCount, 2000);
}

QTEST_MAIN(TestFileDialogs)
#include "tst_file_dialogs.moc"
