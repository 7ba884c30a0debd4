#pragma once
// The application object: the last line of defence against an error that no handler caught.

#include <QApplication>
#include <functional>

namespace tesmora {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}

    /// Shown an error that escaped an event's handling, once that event is over.
    std::function<void(const QString&)> onError;

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tesmora
