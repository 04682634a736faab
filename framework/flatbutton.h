#pragma once

#include <QIcon>
#include <QString>
#include <QToolButton>

// A tool-bar style button: flat until the mouse is over it, and never takes
// the keyboard focus, so clicking it leaves the cursor in the field being
// edited. Callers place it with setGeometry().
class FlatButton : public QToolButton
{
    Q_OBJECT

public:
    explicit FlatButton(const QString &caption, QWidget *parent = nullptr);
    // A picture-only button; name is what screen readers announce.
    FlatButton(const QIcon &icon, const QString &name, QWidget *parent = nullptr);

    QString caption() const { return text(); }
    void setCaption(const QString &caption);
    void setPicture(const QIcon &icon);
    // Announced when the button has no caption.
    void setName(const QString &name);

private:
    void adjustToContent();

    QString m_name;
};
