#include "base/ui/typing_filter.h"

#include "base/capital.h"
#include "base/ui/text_filter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
class CapitalKeyFilter final : public QObject
{
public:
    CapitalKeyFilter(CapitalKeys which, QObject *parent) : QObject(parent), m_which(which) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const QString typed = key->text();
        const QString capital = Capital(typed);
        if (typed.size() != 1 || capital == typed ||
            (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
            return false;
        auto *line = qobject_cast<QLineEdit *>(watched);
        auto *plain = qobject_cast<QPlainTextEdit *>(watched);
        const bool empty = line ? line->text().isEmpty() : plain && plain->document()->isEmpty();
        if (m_which == CapitalKeys::First && !empty)
            return false;
        if (line)
            line->insert(capital);
        else if (plain)
            plain->insertPlainText(capital);
        else
            return false;
        return true;
    }

private:
    CapitalKeys m_which;
};
} // namespace

void InstallCapitalKeys(QWidget *box, CapitalKeys which)
{
    box->installEventFilter(new CapitalKeyFilter(which, box));
}

void InstallTypingFilter(QLineEdit *box, const QString &discarded, bool capital)
{
    box->setValidator(new TextFilter(
        [discarded, capital](const QString &text) {
            QString out;
            out.reserve(text.size());
            for (QChar c : text)
                if (!discarded.contains(c))
                    out += capital ? QChar(Capital(int(c.unicode()))) : c;
            return out;
        },
        box));
}
