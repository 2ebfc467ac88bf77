#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Message boxes, input boxes and the standard pickers. Tests script the
// answers; nothing ever blocks a test on a real modal dialog.
class Dialogs
{
public:
    enum Button { Ok = 1, Cancel = 2, Yes = 6, No = 7 };
    enum Buttons { OkOnly, OkCancel, YesNo, YesNoCancel };
    enum Icon { NoIcon, Information, Warning, Critical, Question };

    struct Font
    {
        QString name;
        int size = 10;
        bool bold = false;
        bool italic = false;
    };

    virtual ~Dialogs() = default;
    // Texts are always shown as plain text. Returns the button pressed.
    virtual Button messageBox(const QString &text, const QString &title, Buttons buttons = OkOnly,
                              Icon icon = NoIcon, Button defaultButton = Ok) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QString> inputBox(const QString &prompt, const QString &title,
                                            const QString &defaultText = QString()) = 0;
    // Empty when cancelled.
    virtual QString openFile(const QString &title, const QString &directory, const QString &filter) = 0;
    virtual std::optional<Font> chooseFont(const Font &current) = 0;
};
