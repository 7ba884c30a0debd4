#include "support/scripted_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTest>

namespace tesmora::test {

bool ScriptedDialogs::ExecuteFileDialog(QFileDialog&, QString& fileName) {
    presets.push_back(fileName);
    if (files.isEmpty()) qFatal("a file dialog was shown that the test did not expect");
    const std::optional<QString> answer = files.takeFirst();
    if (!answer) return false;
    fileName = *answer;
    return true;
}

void ScriptedDialogs::Message(QWidget*, const QString& caption, const QString& text, Icon icon) {
    Shown shown{caption, text, icon, QApplication::overrideCursor() != nullptr};
    messages.push_back(shown);
    if (onMessage) onMessage(shown);
}

bool ScriptedDialogs::AskYesNo(QWidget*, const QString& caption, const QString& text) {
    questions.push_back(caption + ": " + text);
    if (answers.isEmpty()) qFatal("a question was asked that the test did not expect");
    return answers.takeFirst();
}

bool ScriptedDialogs::PrinterSetup(QWidget*, QPrinter& printer) {
    if (printerSetupAnswer && printerChoice) printerChoice(printer);
    return printerSetupAnswer;
}

void ScriptedDialogs::ShowModal(QDialog& dialog) {
    ++modals;
    dialog.show();
    if (onModal) onModal(dialog);
    dialog.accept();
}

bool ScriptedDialogs::Run(QDialog& dialog) {
    ++runs;
    if (!onRun) qFatal("a dialog was run that the test did not expect");
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    onRun(dialog);
    if (dialog.isVisible()) dialog.reject();
    return dialog.result() == QDialog::Accepted;
}

QAction* ScriptedDialogs::PopupMenu(QMenu& menu, QPoint) {
    QStringList offered;
    for (QAction* a : menu.actions())
        if (!a->isSeparator()) offered << a->text();
    menusShown.push_back(offered);
    if (menuChoices.isEmpty()) qFatal("a menu popped up that the test did not expect");
    const QString choice = menuChoices.takeFirst();
    for (QAction* a : menu.actions())
        if (a->objectName() == choice && a->isEnabled()) {
            a->trigger();
            return a;
        }
    return nullptr;
}

std::optional<QString> ScriptedDialogs::AskText(QWidget*, const QString& caption,
                                                const QString& label, const QString& text, int) {
    textQuestions.push_back(caption + ": " + label + " [" + text + "]");
    if (texts.isEmpty()) qFatal("a text was asked for that the test did not expect");
    return texts.takeFirst();
}

bool ScriptedDialogs::OpenDocument(const QString& path) {
    opened << path;
    return openerAccepts;
}

QStringList ScriptedDialogs::TakeTexts() {
    QStringList shown;
    for (const Shown& m : messages) shown << m.text;
    messages.clear();
    return shown;
}

} // namespace tesmora::test
