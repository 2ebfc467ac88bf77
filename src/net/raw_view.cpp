#include "net/raw_view.h"

QString ParseRawView(QStringView text)
{
    // One pass into a new text: inserting in place would move the rest of
    // the text once per message.
    QString out;
    out.reserve(text.size() + text.count(u'^') * RawView::Separator.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u'^'); at >= 0; at = text.indexOf(u'^', from)) {
        out += text.mid(from, at + 1 - from);
        out += RawView::Separator;
        from = at + 1;
    }
    out += text.mid(from);
    return out;
}
