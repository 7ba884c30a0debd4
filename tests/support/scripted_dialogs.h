#pragma once
// Dialog answers given by a test in place of a user, and a record of what was shown.

#include "app/dialogs.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace tesmora::test {

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString caption, text;
        Icon icon;
        bool busyCursor; // the hourglass was showing
    };

    /// The next file dialog's answer: a path, or nothing for Cancel.
    QList<std::optional<QString>> files;
    /// The next Yes/No answers.
    QList<bool> answers;
    /// What the file dialogs were preset with, in order.
    QStringList presets;
    QList<Shown> messages;
    QList<QString> questions;
    int beeps = 0;
    /// Called whenever a message box would be shown, for checks at that moment.
    std::function<void(const Shown&)> onMessage;

    bool ExecuteFileDialog(QFileDialog& dialog, QString& fileName) override;
    void Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void Beep() override { ++beeps; }
    /// Printer set-up: the answer, and how a confirmed choice changes the printer.
    bool printerSetupAnswer = false;
    std::function<void(QPrinter&)> printerChoice;
    bool PrinterSetup(QWidget* parent, QPrinter& printer) override;
    /// A modal dialog is shown, checked by onModal, then closed as with its OK button.
    std::function<void(QDialog&)> onModal;
    int modals = 0;
    void ShowModal(QDialog& dialog) override;
    /// A dialog that asks for something is shown and handed to onRun, which fills it in and
    /// presses its buttons as a user would; still open afterwards, it is cancelled.
    std::function<void(QDialog&)> onRun;
    int runs = 0;
    bool Run(QDialog& dialog) override;
    /// The next menus' choices: the object names of their items (empty: none chosen).
    QStringList menuChoices;
    /// The items each menu offered, in order.
    QList<QStringList> menusShown;
    QAction* PopupMenu(QMenu& menu, QPoint at) override;
    /// The next answers to text questions (nothing: cancelled), and the questions asked.
    QList<std::optional<QString>> texts;
    QStringList textQuestions;
    std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& label,
                                   const QString& text, int maxLength) override;
    /// Documents handed to the opener; it accepts them when openerAccepts.
    QStringList opened;
    bool openerAccepts = true;
    bool OpenDocument(const QString& path) override;

    /// The texts of the messages shown so far, and forget them.
    QStringList TakeTexts();
};

} // namespace tesmora::test
