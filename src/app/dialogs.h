#pragma once
// Every modal dialog and message box of the program goes through this interface, so that
// tests answer them in place of a user.

#include <QString>

class QFileDialog;
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
};

/// The real dialogs.
class QtDialogs : public Dialogs {
public:
    bool ExecuteFileDialog(QFileDialog& dialog, QString& fileName) override;
    void Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void Beep() override;
};

} // namespace tesmora
