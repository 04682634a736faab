#include "framework/flatbutton.h"

namespace {

// "&Drucken" shows as "Drucken" with an underlined D; a screen reader should
// say the word, not the ampersand. "&&" stands for a literal "&".
QString withoutMnemonic(const QString &caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&'))
                ++i;
            else
                continue;
        }
        plain.append(caption.at(i));
    }
    return plain;
}

} // namespace

FlatButton::FlatButton(const QString &caption, QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setText(caption);
    adjustToContent();
}

FlatButton::FlatButton(const QIcon &icon, const QString &name, QWidget *parent)
    : FlatButton(QString(), parent)
{
    m_name = name;
    setIcon(icon);
    adjustToContent();
}

void FlatButton::setCaption(const QString &caption)
{
    setText(caption);
    adjustToContent();
}

void FlatButton::setPicture(const QIcon &icon)
{
    setIcon(icon);
    adjustToContent();
}

void FlatButton::setName(const QString &name)
{
    m_name = name;
    adjustToContent();
}

void FlatButton::adjustToContent()
{
    // Text beside icon with a missing icon would leave the caption off
    // centre, so the style follows what the button actually has.
    const bool hasText = !text().isEmpty();
    const bool hasIcon = !icon().isNull();
    if (hasText && hasIcon)
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    else if (hasIcon)
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    else
        setToolButtonStyle(Qt::ToolButtonTextOnly);

    setAccessibleName(hasText ? withoutMnemonic(text()) : m_name);
}
