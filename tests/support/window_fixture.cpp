#include "support/window_fixture.h"

#include "demo_recordings.h"
#include "pointer_events.h"

#include <QAction>
#include <QTest>

namespace tesmora::test {

void WindowFixture::StartWindow() {
    files = std::make_unique<TestFiles>();
    dialogs = ScriptedDialogs();
    NewWindow();
}

void WindowFixture::StopWindow() {
    window.reset();
    files.reset();
}

void WindowFixture::NewWindow() {
    window.reset();
    window = std::make_unique<MainWindow>(
        dialogs, QString::fromStdString(files->Path("tesmora.INI")), QString());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the window was never shown");
}

QImage WindowFixture::ChartImage() const {
    return Chart()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void WindowFixture::Open(const std::string& path) {
    dialogs.files.push_back(QString::fromStdString(path));
    Find<QAction>("O1")->trigger();
}

void WindowFixture::RightClick(int column, const QString& choice) {
    dialogs.menuChoices = {choice};
    const ChartState& s = window->Chart();
    const QPoint at(s.ChLeft[0] + column, s.ChTop[0] + 40);
    tools::Drag(Chart(), Qt::RightButton, at, at);
    if (!dialogs.menuChoices.isEmpty()) qFatal("the chart's menu did not come up");
}

std::string WindowFixture::WriteThreeChannelDemo() {
    const demo::ThreeChannelDemo d = demo::MakeThreeChannelDemo();
    return files->Write("demo_pc56.lqd", lqd::EncodeWs56(d.header, d.records));
}

std::string WindowFixture::WriteSingleChannelDemo() {
    const demo::SingleChannelDemo d = demo::MakeSingleChannelDemo();
    return files->Write("demo_mv31.lqd", lqd::EncodeWs31(d.header, d.records));
}

} // namespace tesmora::test
