#include "app/application.h"

#include <QTimer>
#include <exception>

namespace tesmora {

bool Application::notify(QObject* receiver, QEvent* event) {
    QString text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = "Unknown error";
    }
    // Reported after the event, which may be a paint or a nested loop's, is over.
    if (onError)
        QTimer::singleShot(0, this, [this, text] {
            if (onError) onError(text);
        });
    return false;
}

} // namespace tesmora
