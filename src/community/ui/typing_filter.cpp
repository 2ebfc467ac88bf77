#include "community/ui/typing_filter.h"

#include "base/ui/text_filter.h"
#include "community/content_filters.h"

#include <QLineEdit>

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
