#pragma once

#include "framework/messages.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <utility>
#include <vector>

// A dialog of labelled text fields over the text members of a plain struct:
// it shows a value, hands back the edited copy, and stays open with the
// error box when saving refuses (a check names the field in its message).
template <class T>
class FieldForm : public QDialog
{
public:
    using Save = std::function<void(const T &)>;

    FieldForm(const QString &objectName, const QString &title, QWidget *parent) : QDialog(parent)
    {
        setObjectName(objectName);
        setWindowTitle(title);
        setModal(true);
        m_layout = new QFormLayout(this);
        m_buttons = new QDialogButtonBox(this);
        m_ok = m_buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        m_buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
        m_ok->setObjectName(QStringLiteral("ok"));
        connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
            if (guarded([&] { m_save(value()); }))
                accept();
        });
    }

    // A text field for a member; `name` is its objectName, `label` the
    // field's name as the checks' messages say it.
    QLineEdit *addField(const char *name, const QString &label, QString T::*member, int maxLength = 0)
    {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setAccessibleName(label);
        if (maxLength > 0)
            edit->setMaxLength(maxLength);
        m_layout->addRow(label + QLatin1Char(':'), edit);
        m_fields.push_back({edit, member});
        return edit;
    }
    void addRow(const QString &label, QWidget *w) { m_layout->addRow(label, w); }
    void finish() { m_layout->addRow(m_buttons); }

    virtual void setValue(const T &v)
    {
        m_value = v;
        for (const auto &f : m_fields)
            f.edit->setText(v.*(f.member));
    }
    virtual T value() const
    {
        T v = m_value;
        for (const auto &f : m_fields)
            v.*(f.member) = f.edit->text().trimmed();
        return v;
    }
    QLineEdit *field(const char *name) const { return findChild<QLineEdit *>(QString::fromLatin1(name)); }
    QPushButton *okButton() const { return m_ok; }

    // Shows the value; returns true when the user saved it through `save`.
    bool edit(const T &v, Save save)
    {
        setValue(v);
        m_save = std::move(save);
        return exec() == QDialog::Accepted;
    }

private:
    struct Field
    {
        QLineEdit *edit;
        QString T::*member;
    };
    QFormLayout *m_layout;
    QDialogButtonBox *m_buttons;
    QPushButton *m_ok;
    std::vector<Field> m_fields;
    T m_value;
    Save m_save;
};
