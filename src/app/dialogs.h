#pragma once
// Every modal dialog and message box of the program goes through this interface, so that
// tests answer them in place of a user.

#include <QPoint>
#include <QString>
#include <optional>

class QAction;
class QDialog;
class QMenu;
class QFileDialog;
class QPrinter;
class QWidget;

namespace tesmora {

class Dialogs {
public:
    enum class Icon { None, Error };

    virtual ~Dialogs() = default;
    /// Runs a file dialog preset with fileName; on acceptance fileName is the chosen path.
    virtual bool ExecuteFileDialog(QFileDialog& dialog, QString& fileName) = 0;
    /// A message box with one OK button.
    virtual void Message(QWidget* parent, const QString& caption, const QString& text,
                         Icon icon) = 0;
    /// A message box with Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    /// The system's default beep.
    virtual void Beep() = 0;
    /// The printer set-up dialog on printer; true when confirmed (the printer then carries the
    /// choice), false when cancelled (the printer unchanged).
    virtual bool PrinterSetup(QWidget* parent, QPrinter& printer) = 0;
    /// Shows a dialog modally until it is closed.
    virtual void ShowModal(QDialog& dialog) = 0;
    /// Runs a dialog that asks for something until it is accepted or cancelled; true when
    /// accepted.
    virtual bool Run(QDialog& dialog) = 0;
    /// Pops a menu up at a screen position; the item chosen, or nullptr.
    virtual QAction* PopupMenu(QMenu& menu, QPoint at) = 0;
    /// Asks for one line of text of at most maxLength characters; nothing when cancelled.
    virtual std::optional<QString> AskText(QWidget* parent, const QString& caption,
                                           const QString& label, const QString& text,
                                           int maxLength) = 0;
    /// Hands a document to the system's opener; true when it accepted it.
    virtual bool OpenDocument(const QString& path) = 0;
};

/// Dialogs nobody answers: every question is cancelled. For programs that drive the window
/// themselves (the manual builder, the benchmarks); messages go to standard error.
class NoDialogs : public Dialogs {
public:
    bool ExecuteFileDialog(QFileDialog&, QString&) override { return false; }
    void Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget*, const QString&, const QString&) override { return false; }
    void Beep() override {}
    bool PrinterSetup(QWidget*, QPrinter&) override { return false; }
    void ShowModal(QDialog&) override {}
    bool Run(QDialog&) override { return false; }
    QAction* PopupMenu(QMenu&, QPoint) override { return nullptr; }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&, const QString&,
                                   int) override {
        return std::nullopt;
    }
    bool OpenDocument(const QString&) override { return false; }
};

/// The real dialogs.
class QtDialogs : public Dialogs {
public:
    bool ExecuteFileDialog(QFileDialog& dialog, QString& fileName) override;
    void Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void Beep() override;
    bool PrinterSetup(QWidget* parent, QPrinter& printer) override;
    void ShowModal(QDialog& dialog) override;
    bool Run(QDialog& dialog) override;
    QAction* PopupMenu(QMenu& menu, QPoint at) override;
    std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& label,
                                   const QString& text, int maxLength) override;
    bool OpenDocument(const QString& path) override;
};

} // namespace tesmora
