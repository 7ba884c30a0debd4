#include "app/dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <cstdio>

namespace tesmora {

bool QtDialogs::ExecuteFileDialog(QFileDialog& dialog, QString& fileName) {
    // The name field keeps what was typed into it last time unless it is emptied itself.
    if (auto* name = dialog.findChild<QLineEdit*>("fileNameEdit")) name->clear();
    if (fileName.isEmpty()) {
        dialog.selectFile(QString());
    } else {
        const QFileInfo info(fileName);
        if (info.isAbsolute()) dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // A path typed into the name field opens the completer's list; Enter accepts the dialog
    // with the list still up, and the list, a popup, would take the next click and keys.
    for (QCompleter* completer : dialog.findChildren<QCompleter*>())
        if (completer->popup() && completer->popup()->isVisible()) completer->popup()->hide();
    if (!accepted || dialog.selectedFiles().isEmpty()) return false;
    fileName = dialog.selectedFiles().constFirst();
    return true;
}

void QtDialogs::Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
    QMessageBox box(icon == Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption,
                    text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::Beep() {
    QApplication::beep();
}

bool QtDialogs::PrinterSetup(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent); // applies its choice to the printer only when accepted
    return dialog.exec() == QDialog::Accepted;
}

void QtDialogs::ShowModal(QDialog& dialog) {
    dialog.exec();
}

bool QtDialogs::Run(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

QAction* QtDialogs::PopupMenu(QMenu& menu, QPoint at) {
    return menu.exec(at);
}

std::optional<QString> QtDialogs::AskText(QWidget* parent, const QString& caption,
                                          const QString& label, const QString& text,
                                          int maxLength) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextValue(text);
    if (auto* edit = dialog.findChild<QLineEdit*>()) edit->setMaxLength(maxLength);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

bool QtDialogs::OpenDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void NoDialogs::Message(QWidget*, const QString& caption, const QString& text, Icon) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
}

} // namespace tesmora
