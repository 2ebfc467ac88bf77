#pragma once

#include <QValidator>

#include <functional>

// A line edit's validator that keeps only what filter keeps, so that a
// character a box refuses is dropped whether it is typed or pasted.
class TextFilter final : public QValidator
{
public:
    TextFilter(std::function<QString(const QString &)> filter, QObject *parent)
        : QValidator(parent), m_filter(std::move(filter))
    {
    }
    State validate(QString &input, int &pos) const override
    {
        const QString kept = m_filter(input);
        if (kept != input) {
            pos = int(m_filter(input.left(pos)).size());
            input = kept;
        }
        return Acceptable;
    }

private:
    std::function<QString(const QString &)> m_filter;
};
