#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace rpt {

// While a run produces pages it handles pending input before every row, so
// other windows could move the very rows it is printing. For the length of a
// run only windows that open after it began (the preview, its dialogs, the
// progress window, message boxes) get user input; the others wait.
class InputGuard : public QObject
{
public:
    InputGuard();
    ~InputGuard() override;
    InputGuard(const InputGuard &) = delete;
    InputGuard &operator=(const InputGuard &) = delete;

    void release();
    bool blocks(QObject *receiver) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QPointer<QWidget>> m_before;
    bool m_active = false;
};

} // namespace rpt
