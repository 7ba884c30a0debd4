#pragma once
// The real main window for a GUI test: a private folder for its settings and files, dialogs a
// test answers, and the gestures and look-ups every window test uses.

#include "app/main_window.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QImage>
#include <QString>
#include <memory>
#include <string>

namespace tesmora::test {

class WindowFixture {
protected:
    std::unique_ptr<TestFiles> files;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    /// A fresh folder and dialogs, then a new window (a test's init()).
    void StartWindow();
    /// The window, then the folder, gone (a test's cleanup()).
    void StopWindow();
    /// A new window on the folder's settings file, shown and exposed.
    void NewWindow();

    /// The window's control of that name (the test stops when there is none).
    template <typename T = QWidget>
    T* Find(const QString& name) const {
        T* w = window->findChild<T*>(name);
        if (!w) qFatal("no control %s", qPrintable(name));
        return w;
    }
    QWidget* Chart() const { return Find("PaintBox1"); }
    /// The chart's pixels as the window shows them.
    QImage ChartImage() const;
    /// "Open(&O)", its dialog answered with path.
    void Open(const std::string& path);
    /// A right click at column `column` of the first panel, its menu answered with `choice`.
    void RightClick(int column, const QString& choice);

    /// The demo recordings, written into the folder: their paths.
    std::string WriteThreeChannelDemo();
    std::string WriteSingleChannelDemo();
};

} // namespace tesmora::test
