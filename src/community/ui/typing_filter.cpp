#include "community/ui/typing_filter.h"

#include "community/content_filters.h"

#include <QLineEdit>

void InstallTypingFilter(QLineEdit *box, const QString &discarded, bool capital)
{
    QObject::connect(box, &QLineEdit::textEdited, box, [box, discarded, capital](const QString &text) {
        QString out;
        out.reserve(text.size());
        int cursor = box->cursorPosition();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (discarded.contains(text.at(i))) {
                if (i < cursor)
                    --cursor;
                continue;
            }
            out += capital ? QChar(Capital(int(text.at(i).unicode()))) : text.at(i);
        }
        if (out != text) {
            box->setText(out);
            box->setCursorPosition(cursor);
        }
    });
}
